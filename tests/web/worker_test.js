// The worker's message handling (web/worker_core.js) with the real engine
// module, under node's test runner: the board's JSON answers, searches run
// after the request that queued them with a report per iteration, the busy
// answer for a request sent while the engine thought, and whole games with
// both brains. QUORLITH_ENGINE_MODULE names quorlith-engine.js and
// QUORLITH_WORKER_CORE worker_core.js.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const fs = require('node:fs');

const { createRequestHandler } = require(process.env.QUORLITH_WORKER_CORE);
const enginePath = process.env.QUORLITH_ENGINE_MODULE;

let engine = null;
let handle = null;
const posted = [];
let nextId = 1;

test.before(async () => {
  const factory = require(enginePath);
  // The bytes are handed over: node's fetch cannot read a file path.
  engine = await factory({ wasmBinary: fs.readFileSync(enginePath.replace(/\.js$/, '.wasm')) });
  handle = createRequestHandler(engine, (message) => posted.push(message));
});

// One request; its reply is posted before handle returns.
function ask(method, path, body, sentAt = Date.now()) {
  const id = nextId++;
  handle({ id, method, path, body: body === undefined ? '' : JSON.stringify(body), sentAt });
  const reply = posted.find((m) => m.id === id);
  assert.ok(reply, method + ' ' + path + ' was not answered at once');
  return reply;
}

const progressSince = (start) => posted.slice(start).filter((m) => m.progress).map((m) => m.progress);

// Until no search waits: each runs in a task of its own.
async function settle() {
  while (engine._quorlith_searches_queued() > 0) await new Promise((resolve) => setTimeout(resolve, 0));
}

test('the board API answers with the same states and errors', () => {
  const made = ask('POST', '/api/games', {});
  assert.strictEqual(made.status, 201);
  assert.deepStrictEqual(Object.keys(made.data).sort(), ['brain', 'depth', 'engine_first', 'forbidden', 'hint', 'id',
    'last_search', 'rule', 'size', 'status', 'stones', 'time_ms', 'to_move', 'watching', 'winning_line']);
  assert.strictEqual(made.data.rule, 0);
  assert.strictEqual(made.data.brain, 'plus');
  assert.strictEqual(made.data.status, 'playing');
  const game = '/api/games/' + made.data.id;
  const cases = [
    ['POST', '/api/games', '{"size": ', 400, 'the body is not valid JSON'],
    ['POST', '/api/games', '{"brain": "strong"}', 400, '"brain" must be "plus" or "exact"'],
    ['POST', '/api/games', '{"size": 33}', 400, 'size must be from 5 to 32'],
    ['POST', '/api/games', '{"rule": 2}', 400, '"rule" must be 0 (five or more), 1 (exactly five) or 4 (renju)'],
    ['POST', '/api/games', '{"rule": 4, "brain": "exact"}', 400,
      'the exact brain plays freestyle only; the plus brain plays every rule'],
    ['POST', game + '/moves', '{"x": 15, "y": 0}', 400, 'square 15,0 is off the 15x15 board'],
    ['POST', game + '/moves', '{"x": 1}', 400, '"x" and "y" are required integers'],
    ['POST', game + '/undo', '', 409, 'there is no stone of yours to take back'],
    ['GET', '/api/games/999', '', 404, 'no game 999'],
    ['PUT', game, '', 404, 'no such route'],
    ['GET', '/index.html', '', 404, 'no such route'],
  ];
  for (const [method, path, body, status, error] of cases) {
    const id = nextId++;
    handle({ id, method, path, body, sentAt: Date.now() });
    const reply = posted.find((m) => m.id === id);
    assert.deepStrictEqual([reply.status, reply.data], [status, { error }], method + ' ' + path + ' ' + body);
  }
  assert.deepStrictEqual(ask('GET', game).data, made.data, 'a refused request changed the game');
  assert.deepStrictEqual(ask('DELETE', game).data, { deleted: made.data.id });
});

test('a move is answered at once and its search runs after, reporting each iteration', async () => {
  // The plus brain's iterations 1 to 4, whatever the clock.
  const made = ask('POST', '/api/games', { brain: 'plus', depth: 4 });
  const game = '/api/games/' + made.data.id;
  const played = ask('POST', game + '/moves', { x: 7, y: 7 });
  assert.strictEqual(played.status, 202);
  assert.strictEqual(played.data.status, 'thinking');
  const start = posted.length;
  assert.deepStrictEqual(ask('POST', game + '/moves', { x: 0, y: 0 }).data, { error: 'busy: the engine is thinking' });
  await settle();
  const reports = progressSince(start);
  assert.strictEqual(reports.length, 4, 'one report per iteration');
  let depth = 0;
  for (const state of reports) {
    assert.strictEqual(state.id, made.data.id);
    assert.strictEqual(state.status, 'thinking');
    assert.strictEqual(state.last_search.running, true);
    assert.ok(state.last_search.depth > depth, 'iterations out of order');
    depth = state.last_search.depth;
  }
  const after = ask('GET', game).data;
  assert.strictEqual(after.status, 'playing');
  assert.strictEqual(after.stones.length, 2);
  assert.deepStrictEqual(after.last_search.move, after.stones[1]);
});

test('a change sent while the engine thought is refused as busy, one sent after is played', async () => {
  const made = ask('POST', '/api/games', { time_ms: 200, board: 'BOARD\n7,7,2\n8,8,1\nDONE\n' });
  const game = '/api/games/' + made.data.id;
  assert.strictEqual(ask('POST', game + '/moves', { x: 6, y: 6 }).status, 202);
  const sentWhileThinking = Date.now();
  await settle();
  const now = ask('GET', game).data;
  assert.strictEqual(now.stones.length, 4);
  for (const [path, body] of [['/moves', { x: 0, y: 0 }], ['/undo', {}], ['/hint', {}]]) {
    const late = ask('POST', game + path, body, sentWhileThinking);
    assert.deepStrictEqual([late.status, late.data], [409, { error: 'busy: the engine is thinking' }], path);
  }
  assert.deepStrictEqual(ask('GET', game).data, now);
  await new Promise((resolve) => setTimeout(resolve, 5));
  assert.strictEqual(ask('POST', game + '/undo', {}).status, 200);
});

test('both brains play a game to its end, watched, on a small board', async () => {
  for (const brain of ['plus', 'exact']) {
    const made = ask('POST', '/api/games', { size: 7, brain, time_ms: 50 });
    const game = '/api/games/' + made.data.id;
    assert.strictEqual(ask('POST', game + '/watch', { on: true }).data.watching, true);
    await settle();
    const end = ask('GET', game).data;
    assert.ok(['player_won', 'engine_won', 'draw'].includes(end.status), brain + ': ' + end.status);
    const seen = new Set(end.stones.map(([x, y]) => x + ',' + y));
    assert.strictEqual(seen.size, end.stones.length, brain + ': a square played twice');
    for (const [x, y] of end.stones) assert.ok(x >= 0 && y >= 0 && x < 7 && y < 7, brain + ': off the board');
    assert.strictEqual(end.brain, brain);
  }
});
