// The page's worker: owns the games and runs the engine (WebAssembly), so
// the page never waits on a search. Requests that come before the engine is
// loaded wait for it.
'use strict';
importScripts('quorlith-engine.js', 'worker_core.js');

const early = [];
let handle = null;
self.onmessage = (event) => (handle ? handle(event.data) : early.push(event.data));

QuorlithEngine().then(
  (engine) => {
    engine._quorlith_prepare();
    handle = createRequestHandler(engine, (message) => self.postMessage(message));
    self.postMessage({ ready: true });
    for (const request of early.splice(0)) handle(request);
  },
  (error) => self.postMessage({ fatal: 'the engine could not be loaded (' + error + ')' }));
