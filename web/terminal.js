// The web serial terminal. It talks to the script pages in terminal/, which
// answer "OK" and then one value per line. The gateway runs one script page at
// a time, so the terminal keeps one request in flight and queues the rest; a
// request that finds another page running is asked again a moment later.
//
// What the device sends, and what any page sends to it, comes from the
// gateway's event stream (serial-events) as it happens, in every terminal that
// is open. Where the browser has no EventSource, or the gateway refuses the
// stream, the terminal polls terminal/poll.vpg instead.
"use strict";

(() => {
  const BUSY_TEXT = "Another script is running";
  const ERROR_TEXT = "Script engine error: ";
  const POLL_MS = 500; // between polls while the port is open
  const SEND_CHUNK = 512; // bytes per send request, kept well inside a request line
  const KEEP_BYTES = 256 * 1024; // what the screen keeps of the traffic
  const ERROR_HOLD_MS = 8000; // an error stays in the status line this long
  const LINE_ENDS = { none: "", cr: "\r", lf: "\n", crlf: "\r\n" };
  const TRIM_MS = 2000; // how often, at most, a streaming terminal trims the receive buffer

  const $ = (id) => document.getElementById(id);

  // ---------------------------------------------------------------------------
  // Requests: one in flight, the others waiting in order.

  const queue = [];
  let inFlight = false;

  // Asks the script page `page` with `params`; resolves to the answer's lines after
  // "OK", rejects with an Error whose message tells what went wrong.
  function call(page, params = {}) {
    return new Promise((resolve, reject) => {
      queue.push({ page, params, resolve, reject, tries: 0 });
      pump();
    });
  }

  function pump() {
    if (inFlight || queue.length === 0) return;
    inFlight = true;
    attempt(queue[0]);
  }

  function finish(task, lines, error) {
    queue.shift();
    inFlight = false;
    if (error) task.reject(error);
    else task.resolve(lines);
    pump();
    // After the handlers of this answer have run.
    setTimeout(schedulePoll, 0);
  }

  function query(params) {
    return Object.entries(params)
      .map(([name, value]) => encodeURIComponent(name) + "=" + encodeURIComponent(value))
      .join("&");
  }

  // The pages answer their lines HTML-escaped (a port's name, an error
  // message quoting a value): back to the text they stand for.
  function fromHtml(text) {
    const entities = { "&amp;": "&", "&lt;": "<", "&gt;": ">", "&quot;": '"', "&#39;": "'" };
    return text.replace(/&(amp|lt|gt|quot|#39);/g, (entity) => entities[entity]);
  }

  async function attempt(task) {
    let response;
    let text;
    try {
      response = await fetch(task.page + "?" + query(task.params), { cache: "no-store" });
      text = await response.text();
    } catch (error) {
      finish(task, null, new Error("The gateway cannot be reached (" + error.message + ")."));
      return;
    }
    if (!text.startsWith("OK\r\n") && text.includes(BUSY_TEXT)) {
      task.tries++;
      showBusy(task.tries);
      setTimeout(() => attempt(task), Math.min(200 * task.tries, 1000));
      return;
    }
    if (task.tries > 0) clearBusy();
    const at = text.indexOf(ERROR_TEXT);
    if (at >= 0) {
      finish(task, null, new Error(fromHtml(text.slice(at).trim())));
    } else if (!response.ok) {
      const what = response.status + " " + response.statusText;
      finish(task, null, new Error(`The gateway answered ${what} for ${task.page}.`));
    } else if (!text.startsWith("OK\r\n")) {
      finish(task, null, new Error(`Unexpected answer from ${task.page}.`));
    } else {
      finish(task, text.split("\r\n").slice(1).map(fromHtml), null);
    }
  }

  // ---------------------------------------------------------------------------
  // The status line.

  const status = $("status");
  let holdUntil = 0; // until then the status line keeps an error
  let portState = null; // is_open() as last seen: "" closed, null not known yet

  function setStatus(text, kind) {
    status.textContent = text;
    status.className = kind || "";
    status.title = "";
  }

  function showError(error) {
    const message = String(error && error.message ? error.message : error);
    // A runtime error's message may go on with the script's state: the
    // status line shows its first lines and keeps the rest as a tooltip.
    const lines = message.split(/\r?\n/).filter((line) => line.trim() !== "");
    setStatus(lines.slice(0, 2).join(" "), "error");
    status.title = message;
    holdUntil = Date.now() + ERROR_HOLD_MS;
  }

  function showBusy(tries) {
    status.className = "busy";
    status.textContent = `Another script page is running; asking again (${tries}). `;
    const abort = document.createElement("a");
    abort.href = "abort.vpg";
    abort.target = "_blank";
    abort.textContent = "Abort it";
    status.append(abort);
  }

  function clearBusy() {
    if (portState === null) setStatus("", "");
    else showState(portState, true);
  }

  // The port's settings out of is_open(): the name comes first and may hold
  // blanks, the five settings are the last words.
  function parseState(state) {
    const words = state.split(" ");
    if (words.length < 6) return { name: state };
    const [baud, databits, parity, stopbits, flow] = words.slice(-5);
    return { name: words.slice(0, -5).join(" "), baud, databits, parity, stopbits, flow };
  }

  function showState(state, force) {
    if (state === null || state === undefined) return;
    portState = state;
    $("close").disabled = state === "";
    if (!force && Date.now() < holdUntil) return;
    if (state === "") {
      setStatus("The port is closed.", "");
      return;
    }
    const s = parseState(state);
    const text = s.baud
      ? `Open: ${s.name} at ${s.baud} baud, ${s.databits} data bits, parity ${s.parity}, ` +
        `${s.stopbits} stop bit${s.stopbits === "1" ? "" : "s"}, flow control ${s.flow}.`
      : `Open: ${state}.`;
    setStatus(text, "good");
  }

  // Puts the settings of the open port into the form.
  function fillForm(state) {
    if (!state) return;
    const s = parseState(state);
    $("port").value = s.name;
    for (const id of ["baud", "databits", "parity", "stopbits", "flow"]) {
      const select = $(id);
      if ([...select.options].some((option) => option.value === s[id])) select.value = s[id];
    }
  }

  function userAction() {
    holdUntil = 0;
  }

  // ---------------------------------------------------------------------------
  // Polling: while the port is open, and nothing else waits, ask what came.

  let pollTimer = null;
  let pollFailures = 0;
  let pollSoon = false; // the last poll left bytes in the receive buffer

  function schedulePoll() {
    if (streamState !== "off" || !portState || pollTimer !== null || inFlight || queue.length > 0) return;
    const delay = pollFailures > 0 ? Math.min(2000 * pollFailures, 10000) : pollSoon ? 0 : POLL_MS;
    pollTimer = setTimeout(poll, delay);
  }

  function poll() {
    pollTimer = null;
    if (streamState !== "off" || !portState || inFlight || queue.length > 0) return;
    call("terminal/poll.vpg").then(
      ([state, hex, waiting]) => {
        pollFailures = 0;
        pollSoon = Number(waiting) > 0;
        if (hex) addBytes("rx", hexToBytes(hex));
        showState(state);
      },
      (error) => {
        pollFailures++;
        showError(error);
      },
    );
  }

  // ---------------------------------------------------------------------------
  // The live view: the gateway's event stream. Its events: "open" with the
  // port's state, "close", "lost" (the device went away), "rx" and "tx" with
  // the bytes as hexadecimal digits, "gap" with the number of bytes this view
  // fell behind by. The receive buffer, which script pages read, keeps filling
  // while the terminal shows the stream; every TRIM_MS at most the terminal
  // removes from its front as many bytes as the stream has shown since the last
  // time (terminal/trim.vpg), so the buffer does not grow while nobody polls.

  let streamState = "off"; // "connecting" until the stream answers, "on", or "off": polling
  let shownSinceTrim = 0;
  let trimTimer = null;

  function startStream() {
    if (!window.EventSource) return;
    const stream = new EventSource("serial-events");
    streamState = "connecting";
    // The connection's own "open" event has no data; the port's "open" has.
    stream.addEventListener("open", (event) => {
      if (event.data === undefined) {
        streamState = "on";
        if (pollTimer !== null) clearTimeout(pollTimer);
        pollTimer = null;
        return;
      }
      showState(event.data);
      if ($("port").value.trim() === "") fillForm(event.data);
    });
    stream.addEventListener("close", () => showState(""));
    stream.addEventListener("lost", () => showError(new Error("The device went away; open the port again.")));
    stream.addEventListener("rx", (event) => {
      const bytes = hexToBytes(event.data);
      addBytes("rx", bytes);
      shownSinceTrim += bytes.length;
      scheduleTrim();
    });
    stream.addEventListener("tx", (event) => addBytes("tx", hexToBytes(event.data)));
    stream.addEventListener("gap", (event) =>
      showError(new Error(`${event.data} bytes were not shown: this view fell behind.`)),
    );
    stream.addEventListener("error", () => {
      if (stream.readyState !== EventSource.CLOSED) return; // the browser connects again
      // Refused or not there: poll instead.
      streamState = "off";
      schedulePoll();
    });
  }

  function scheduleTrim() {
    if (trimTimer !== null) return;
    trimTimer = setTimeout(() => {
      trimTimer = null;
      const count = shownSinceTrim;
      shownSinceTrim = 0;
      if (count > 0) call("terminal/trim.vpg", { count }).catch(showError);
    }, TRIM_MS);
  }

  // ---------------------------------------------------------------------------
  // Bytes and their hexadecimal form (two digits a byte), which is how they
  // travel: every byte, CR, LF and NUL included, passes a query string intact.

  function toHex(bytes) {
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0").toUpperCase()).join("");
  }

  function hexToBytes(hex) {
    const bytes = new Uint8Array(hex.length >> 1);
    for (let i = 0; i < bytes.length; i++) bytes[i] = parseInt(hex.substr(2 * i, 2), 16);
    return bytes;
  }

  // ---------------------------------------------------------------------------
  // The screen: what came and went, in order, shown as text or hexadecimal.

  const screen = $("screen");
  const traffic = []; // { dir: "rx" | "tx", bytes: Uint8Array }
  const counts = { rx: 0, tx: 0 };
  let keptBytes = 0;
  let decoders = {};
  let pendingCR = {}; // per direction: the last text ended in CR

  function view() {
    return document.querySelector("input[name=view]:checked").value;
  }

  // Text for the screen: CR LF, CR and LF end lines; other control bytes are
  // shown as their control pictures.
  function asText(dir, bytes) {
    let text = decoders[dir].decode(bytes, { stream: true });
    if (pendingCR[dir] && text.startsWith("\n")) text = text.slice(1);
    if (text !== "") pendingCR[dir] = text.endsWith("\r");
    return text
      .replace(/\r\n?/g, "\n")
      .replace(/[\x00-\x08\x0b-\x1f\x7f]/g, (c) => String.fromCharCode(c === "\x7f" ? 0x2421 : 0x2400 + c.charCodeAt(0)));
  }

  function asHex(bytes) {
    let text = "";
    for (const b of bytes) text += b.toString(16).padStart(2, "0").toUpperCase() + (b === 10 ? "\n" : " ");
    return text;
  }

  function show(entry) {
    if (entry.dir === "tx" && !$("showsent").checked) return;
    const text = view() === "hex" ? asHex(entry.bytes) : asText(entry.dir, entry.bytes);
    if (text === "") return;
    const last = screen.lastElementChild;
    if (last && last.dataset.dir === entry.dir) {
      last.textContent += text;
    } else {
      const span = document.createElement("span");
      span.dataset.dir = entry.dir;
      if (entry.dir === "tx") span.className = "sent";
      span.textContent = text;
      screen.append(span);
    }
  }

  function render() {
    screen.textContent = "";
    decoders = { rx: new TextDecoder("utf-8"), tx: new TextDecoder("utf-8") };
    pendingCR = {};
    traffic.forEach(show);
    follow();
  }

  function follow() {
    if ($("follow").checked) screen.scrollTop = screen.scrollHeight;
    $("counts").textContent = `${counts.rx} bytes received, ${counts.tx} sent`;
  }

  function addBytes(dir, bytes) {
    const entry = { dir, bytes };
    traffic.push(entry);
    counts[dir] += bytes.length;
    keptBytes += bytes.length;
    let dropped = false;
    while (keptBytes > KEEP_BYTES && traffic.length > 1) {
      keptBytes -= traffic.shift().bytes.length;
      dropped = true;
    }
    if (dropped) {
      render();
    } else {
      show(entry);
      follow();
    }
  }

  // ---------------------------------------------------------------------------
  // The user's actions.

  function settings() {
    const params = { port: $("port").value.trim() };
    for (const id of ["baud", "databits", "parity", "stopbits", "flow"]) params[id] = $(id).value;
    return params;
  }

  $("line").addEventListener("submit", (event) => {
    event.preventDefault();
    userAction();
    const params = settings();
    setStatus(`Opening ${params.port}\u2026`, "");
    call("terminal/open.vpg", params).then(([state]) => {
      showState(state, true);
      fillForm(state);
    }, showError);
  });

  $("close").addEventListener("click", () => {
    userAction();
    call("terminal/close.vpg").then(([state]) => showState(state, true), showError);
  });

  $("refresh").addEventListener("click", () => {
    userAction();
    findPorts(true);
  });

  function findPorts(tell) {
    call("terminal/ports.vpg").then(([names]) => {
      const list = $("ports");
      list.textContent = "";
      for (const name of ["/tmp/vantrel-sim", ...(names || "").split(" ").filter(Boolean)]) {
        const option = document.createElement("option");
        option.value = name;
        list.append(option);
      }
      if (tell) {
        setStatus(names ? `Ports that can be opened now: ${names}.` : "No serial port can be opened now.", "");
        holdUntil = Date.now() + ERROR_HOLD_MS;
      }
    }, showError);
  }

  const history = [];
  let historyAt = 0;

  $("sender").addEventListener("submit", (event) => {
    event.preventDefault();
    userAction();
    const text = $("text").value;
    const bytes = new TextEncoder().encode(text + LINE_ENDS[$("eol").value]);
    if (bytes.length === 0) return;
    if (text !== "" && history[history.length - 1] !== text) history.push(text);
    historyAt = history.length;
    $("text").value = "";
    for (let i = 0; i < bytes.length; i += SEND_CHUNK) {
      const chunk = bytes.subarray(i, i + SEND_CHUNK);
      // The stream shows what was sent, in every terminal; without it, this one shows it.
      call("terminal/send.vpg", { hex: toHex(chunk) }).then(() => {
        if (streamState === "off") addBytes("tx", chunk);
      }, showError);
    }
  });

  // Up and down go through what was sent before.
  $("text").addEventListener("keydown", (event) => {
    if (event.key !== "ArrowUp" && event.key !== "ArrowDown") return;
    event.preventDefault();
    historyAt = Math.max(0, Math.min(history.length, historyAt + (event.key === "ArrowUp" ? -1 : 1)));
    $("text").value = history[historyAt] || "";
  });

  for (const radio of document.querySelectorAll("input[name=view]")) radio.addEventListener("change", render);
  $("showsent").addEventListener("change", render);
  $("follow").addEventListener("change", follow);
  $("clear").addEventListener("click", () => {
    traffic.length = 0;
    keptBytes = 0;
    counts.rx = counts.tx = 0;
    render();
  });

  // ---------------------------------------------------------------------------
  // Start: the port named in the address (ports.vpg links here with
  // ?port=NAME), the port's state, the ports that can be opened.

  const asked = new URLSearchParams(location.search).get("port");
  if (asked) $("port").value = asked;
  render();
  startStream();
  call("terminal/state.vpg").then(([state]) => {
    showState(state, true);
    if (!asked) fillForm(state);
  }, showError);
  findPorts(false);
})();
