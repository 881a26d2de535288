// The static site's transport: the board page's requests go to a worker of
// this page that runs the engine (worker.js), not to a server. board.js uses
// it when it is there: request() answers like the board server's JSON API,
// and onProgress hears the game's state after each finished iteration while
// the engine thinks.
'use strict';
(function () {
  const worker = new Worker('worker.js');
  const waiting = new Map();
  let nextId = 1;
  let failure = null;

  const transport = {
    onProgress: null,
    readyAt: null,  // performance.now() when the engine was loaded
    request(method, path, body) {
      if (failure) return Promise.reject(new Error(failure));
      const id = nextId++;
      return new Promise((resolve, reject) => {
        waiting.set(id, { resolve, reject });
        worker.postMessage({ id, method, path, body: body === undefined ? '' : JSON.stringify(body), sentAt: Date.now() });
      });
    },
  };

  function fail(message) {
    failure = message;
    for (const { reject } of waiting.values()) reject(new Error(message));
    waiting.clear();
  }

  worker.onmessage = (event) => {
    const message = event.data;
    if (message.progress) {
      if (transport.onProgress) transport.onProgress(message.progress);
    } else if (message.ready) {
      transport.readyAt = performance.now();
    } else if (message.fatal) {
      fail(message.fatal);
    } else if (waiting.has(message.id)) {
      const { resolve } = waiting.get(message.id);
      waiting.delete(message.id);
      resolve({ status: message.status, data: message.data });
    }
  };
  worker.onerror = (event) => fail('the engine stopped (' + (event.message || 'an error in its worker') + ')');

  window.quorlithTransport = transport;
})();
