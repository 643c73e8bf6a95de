// Shows an example page's source below its output: the plain-text copy named
// by the data-source attribute of <pre id="source">.
"use strict";

(() => {
  const pre = document.getElementById("source");
  fetch(pre.dataset.source, { cache: "no-store" })
    .then((response) => {
      if (!response.ok) throw new Error(response.status + " " + response.statusText);
      return response.text();
    })
    .then((text) => {
      pre.textContent = text;
    })
    .catch((error) => {
      pre.textContent = "The source cannot be read (" + error.message + ").";
    });
})();
