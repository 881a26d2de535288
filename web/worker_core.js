// The worker's side of the page's requests, apart from the worker itself so
// that node can test it (web/worker_core_test.js): each request is answered
// at once by the engine module's JSON routes, the same as quorlith-board's,
// and the searches those requests queue run afterwards, one per task, so
// that requests sent meanwhile are answered between two searches.
//
// Requests: {id, method, path, body (JSON text or ''), sentAt (Date.now()
// when the page sent it)}. Replies: {id, status, data}; while a search runs,
// {progress: state} after each of its finished iterations.
'use strict';

function createRequestHandler(engine, post) {
  let searchScheduled = false;
  engine.onProgress = (stateJson) => post({ progress: JSON.parse(stateJson) });

  function runNextSearch() {
    searchScheduled = false;
    engine._quorlith_run_search();
    scheduleSearch();
  }

  // After the requests that are already waiting: a task of its own.
  function scheduleSearch() {
    if (searchScheduled || engine._quorlith_searches_queued() === 0) return;
    searchScheduled = true;
    setTimeout(runNextSearch, 0);
  }

  return function handle(request) {
    const { id, method, path, body, sentAt } = request;
    // A request that waited behind a search is judged as of when it was
    // sent: a change to a game that was thinking then is refused as busy.
    const ageMs = typeof sentAt === 'number' ? Math.max(0, Date.now() - sentAt) : 0;
    let status, data;
    try {
      status = engine.ccall('quorlith_request', 'number', ['string', 'string', 'string', 'number'],
        [String(method), String(path), typeof body === 'string' ? body : '', ageMs]);
      data = JSON.parse(engine.UTF8ToString(engine._quorlith_reply()));
    } catch (error) {
      status = 500;
      data = { error: 'the engine failed: ' + error };
    }
    post({ id, status, data });
    scheduleSearch();
  };
}

if (typeof module !== 'undefined') module.exports = { createRequestHandler };
