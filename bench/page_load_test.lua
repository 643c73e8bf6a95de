-- wrk script of bench/page_load_test.sh: sorts the answers into full pages,
-- busy pages (the page gate's "Another script is running" answer, which has
-- status 200) and other statuses, and prints one line of figures:
--
--   result requests=N seconds=S rate=R mean_us=M pages=P busy=B other_status=O
--
-- Every thread has a Lua state of its own, so the counts are gathered from
-- the threads at the end.
local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

function init()
  pages, busy, other_status = 0, 0, 0
end

function response(status, headers, body)
  if status ~= 200 then
    other_status = other_status + 1
  elseif body:find("Another script is running", 1, true) then
    busy = busy + 1
  else
    pages = pages + 1
  end
end

function done(summary, latency, requests)
  local pages_total, busy_total, other_total = 0, 0, 0
  for _, thread in ipairs(threads) do
    pages_total = pages_total + thread:get("pages")
    busy_total = busy_total + thread:get("busy")
    other_total = other_total + thread:get("other_status")
  end
  local seconds = summary.duration / 1e6
  io.write(string.format(
    "result requests=%d seconds=%.3f rate=%.1f mean_us=%.1f pages=%d busy=%d other_status=%d\n",
    summary.requests, seconds, summary.requests / seconds, latency.mean, pages_total, busy_total,
    other_total))
end
