// The board page: draws the game the server keeps, sends the player's
// clicks and buttons to the JSON API, and polls while the engine thinks.
// On the static site the same API is answered by a worker of the page that
// runs the engine (web/worker_client.js sets window.quorlithTransport),
// which also tells the page about each finished iteration as it comes.
'use strict';

const SVG = 'http://www.w3.org/2000/svg';
const CELL = 32;     // distance of two lines, in board units
const MARGIN = 36;   // room for the coordinates
const POLL_MS = 150;
const STORED_GAME = 'quorlith-board-game';

const $ = (id) => document.getElementById(id);

let game = null;       // the latest state from the server
let pollTimer = null;
let pending = false;   // a request of ours is on its way

// ---- Talking to the server ----

const transport = window.quorlithTransport || null;
const NO_ANSWER = transport ? 'the engine does not answer' : 'the board server does not answer';

async function api(method, path, body) {
  if (transport) return transport.request(method, path, body);
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  let data = null;
  try {
    data = await response.json();
  } catch (e) {
    data = { error: 'unreadable reply (' + response.status + ')' };
  }
  return { status: response.status, data };
}

// Runs a request that answers with the game's state; shows its error.
async function gameRequest(method, path, body) {
  if (pending) return null;
  pending = true;
  setMessage('');
  try {
    const { status, data } = await api(method, path, body);
    if (status >= 400) {
      setMessage(data.error || 'error ' + status);
      if (status === 404 && game && path.startsWith('/api/games/' + game.id)) forgetGame();
      return null;
    }
    if (data && data.id !== undefined) show(data);
    return data;
  } catch (e) {
    setMessage(transport ? NO_ANSWER + ': ' + e.message : NO_ANSWER);
    return null;
  } finally {
    pending = false;
    updateControls();
  }
}

async function refresh() {
  pollTimer = null;
  if (!game) return;
  try {
    const { status, data } = await api('GET', '/api/games/' + game.id);
    if (status === 200) {
      show(data);
    } else if (status === 404) {
      setMessage('the game is gone (the board keeps a limited number of games)');
      forgetGame();
    }
  } catch (e) {
    setMessage(NO_ANSWER);
    schedulePoll(1000);
  }
}

function schedulePoll(delay) {
  if (pollTimer === null) pollTimer = setTimeout(refresh, delay);
}

function forgetGame() {
  game = null;
  if (!transport) localStorage.removeItem(STORED_GAME);
  draw(null);
  updateControls();
  $('status').textContent = 'Press New game to start.';
}

// ---- Drawing ----

function el(name, attributes, parent) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (parent) parent.appendChild(node);
  return node;
}

const at = (i) => MARGIN + i * CELL;

function starPoints(size) {
  if (size < 9) return [];
  const edge = size >= 13 ? 3 : 2;
  const far = size - 1 - edge;
  const points = [[edge, edge], [edge, far], [far, edge], [far, far]];
  if (size % 2 === 1) points.push([(size - 1) / 2, (size - 1) / 2]);
  return points;
}

function draw(state) {
  const size = state ? state.size : 15;
  const stones = state ? state.stones : [];
  const svg = $('board');
  const extent = 2 * MARGIN + (size - 1) * CELL;
  svg.setAttribute('viewBox', `0 0 ${extent} ${extent}`);
  svg.replaceChildren();

  // Lines, star points and coordinates: x is the column (numbers along the
  // top and bottom), y the row (down the sides), both from 0.
  const grid = el('g', { class: 'grid' }, svg);
  for (let i = 0; i < size; i++) {
    el('line', { x1: at(0), y1: at(i), x2: at(size - 1), y2: at(i) }, grid);
    el('line', { x1: at(i), y1: at(0), x2: at(i), y2: at(size - 1) }, grid);
    for (const [x, y] of [[at(i), MARGIN / 2], [at(i), extent - MARGIN / 2]])
      el('text', { class: 'label', x, y }, svg).textContent = i;
    for (const [x, y] of [[MARGIN / 2, at(i)], [extent - MARGIN / 2, at(i)]])
      el('text', { class: 'label', x, y }, svg).textContent = i;
  }
  for (const [x, y] of starPoints(size)) el('circle', { class: 'star', cx: at(x), cy: at(y), r: 3.5 }, svg);

  // Stones, the winning line, move numbers and the last move.
  const winning = new Set((state ? state.winning_line : []).map(([x, y]) => x + ',' + y));
  const numbers = $('show-numbers').checked;
  stones.forEach(([x, y], i) => {
    const colour = i % 2 === 0 ? 'black' : 'white';
    const classes = 'stone ' + colour + (winning.has(x + ',' + y) ? ' win' : '');
    el('circle', { class: classes, cx: at(x), cy: at(y), r: CELL * 0.45, 'data-x': x, 'data-y': y, 'data-n': i + 1 }, svg);
    if (numbers)
      el('text', { class: 'number on-' + colour, x: at(x), y: at(y) }, svg).textContent = i + 1;
  });
  if (stones.length > 0 && !numbers) {
    const [x, y] = stones[stones.length - 1];
    el('circle', { class: 'last', id: 'last-move', cx: at(x), cy: at(y), r: CELL * 0.16 }, svg);
  }

  // The engine's line on request: numbered ghost stones for the part of the
  // line still ahead, as long as the game has followed it so far.
  const search = state && state.last_search;
  if ($('show-pv').checked && search && search.pv.length > 0) {
    const start = search.stone_count;
    for (let i = 0; i < search.pv.length; i++) {
      const [x, y] = search.pv[i];
      const played = stones[start + i];
      if (played) {
        if (played[0] !== x || played[1] !== y) break;
        continue;
      }
      const colour = (start + i) % 2 === 0 ? 'black' : 'white';
      el('circle', { class: 'pv stone ' + colour, cx: at(x), cy: at(y), r: CELL * 0.45 }, svg);
      el('text', { class: 'pv-number on-' + colour, x: at(x), y: at(y) }, svg).textContent = i + 1;
    }
  }
  // Black's forbidden points in renju: a small cross on each.
  for (const [x, y] of (state && state.forbidden) || []) {
    const d = CELL * 0.18;
    const mark = el('g', { class: 'forbidden', 'data-x': x, 'data-y': y }, svg);
    el('line', { x1: at(x) - d, y1: at(y) - d, x2: at(x) + d, y2: at(y) + d }, mark);
    el('line', { x1: at(x) - d, y1: at(y) + d, x2: at(x) + d, y2: at(y) - d }, mark);
  }
  if (state && state.hint) {
    const [x, y] = state.hint;
    el('circle', { class: 'hint', id: 'hint-mark', cx: at(x), cy: at(y), r: CELL * 0.42 }, svg);
  }

  // Click targets last, above everything else.
  for (let y = 0; y < size; y++) {
    for (let x = 0; x < size; x++) {
      const spot = el('rect', { class: 'spot', x: at(x) - CELL / 2, y: at(y) - CELL / 2, width: CELL, height: CELL, 'data-x': x, 'data-y': y }, svg);
      spot.addEventListener('click', () => play(x, y));
    }
  }
}

// ---- The game's state on the page ----

function sideName(side) { return side === 'engine' ? 'the engine' : 'you'; }

function statusText(state) {
  const you = state.engine_first ? 'white' : 'black';
  switch (state.status) {
    case 'player_won':
      if (state.winning_line.length === 0) return 'The engine (black) played a forbidden point: you win.';
      return 'Your side (' + you + ') made five in a row!';
    case 'engine_won': return 'The engine won.';
    case 'draw': return 'Draw: the board is full.';
    case 'thinking':
      if (state.last_search && state.last_search.purpose === 'hint') return 'Looking for a hint…';
      return state.watching ? 'Watching: the engine plays ' + (state.to_move === 'player' ? 'your side' : 'its side') + '…'
        : 'The engine is thinking…';
    default:
      return state.to_move === 'player' ? 'Your move (' + you + ').' : 'The engine is to move.';
  }
}

function pliesText(n) { return n === 1 ? '1 ply' : n + ' plies'; }

function valueText(search) {
  if (search.depth === 0 || search.value === null) return '–';
  if (search.only_move) return 'only move';
  const who = search.side === 'engine' ? 'engine' : 'you';
  if (search.forced_plies !== null) {
    const plies = search.forced_plies;
    // Stones of the side that makes five, that stone included.
    if (plies > 0) {
      const n = Math.ceil(plies / 2);
      return (who === 'you' ? 'you win in ' : 'wins in ') + n + ' (' + pliesText(plies) + ')';
    }
    const n = Math.floor(-plies / 2);
    return (who === 'you' ? 'you lose in ' : 'loses in ') + n + ' (' + pliesText(-plies) + ')';
  }
  return (search.value > 0 ? '+' : '') + search.value + ' for ' + (who === 'you' ? 'you' : 'the engine');
}

function showReport(search) {
  const set = (id, text) => { $(id).textContent = text; };
  if (!search) {
    for (const id of ['report-what', 'report-depth', 'report-value', 'report-nodes', 'report-time', 'report-nps', 'report-pv']) set(id, '–');
    return;
  }
  const brain = game && game.brain ? ' (' + game.brain + ' brain)' : '';
  const what = (search.purpose === 'hint' ? 'hint for you' : 'move for ' + sideName(search.side)) + brain +
    (search.fixed_depth ? ', fixed depth' : '') + (search.running ? ' (running)' : '');
  set('report-what', what);
  set('report-depth', search.depth > 0 ? String(search.depth) : (search.running ? '…' : 'none finished'));
  set('report-value', valueText(search));
  set('report-nodes', search.nodes.toLocaleString('en'));
  set('report-time', search.time_ms + ' ms');
  set('report-nps', search.time_ms > 0 ? Math.round(search.nodes * 1000 / search.time_ms).toLocaleString('en') : '–');
  set('report-pv', search.pv.length > 0 ? search.pv.map(([x, y]) => x + ',' + y).join(' ') : '–');
}

function updateControls() {
  const idle = game && game.status === 'playing' && !pending;
  const playersTurn = idle && game.to_move === 'player';
  const playerStones = game ? game.stones.filter((_, i) => (i % 2 === 0) !== game.engine_first).length : 0;
  $('undo').disabled = !game || game.status === 'thinking' || playerStones === 0;
  $('hint').disabled = !playersTurn;
  $('watch').disabled = !game || (game.status !== 'playing' && game.status !== 'thinking');
  $('watch').textContent = game && game.watching ? 'Pause' : 'Watch';
  $('copy-board').disabled = !game;
}

function show(state) {
  game = state;
  if (!transport) localStorage.setItem(STORED_GAME, String(state.id));
  draw(state);
  $('status').textContent = statusText(state);
  $('board').dataset.status = state.status;
  showReport(state.last_search);
  updateControls();
  if (state.status === 'thinking') schedulePoll(POLL_MS);
}

function setMessage(text) { $('message').textContent = text; }

// ---- Actions ----

async function play(x, y) {
  if (!game || game.status !== 'playing' || game.to_move !== 'player' || game.watching) return;
  await gameRequest('POST', '/api/games/' + game.id + '/moves', { x, y });
}

function settingsFromDialog() {
  const settings = {
    size: Number($('size').value),
    brain: $('brain').value,
    rule: Number($('rule').value),
    engine_first: $('first').value === 'engine',
    time_ms: Number($('time-ms').value),
  };
  if ($('fixed-depth').value !== '') settings.depth = Number($('fixed-depth').value);
  return settings;
}

async function startGame(settings) {
  const previous = game;
  const created = await gameRequest('POST', '/api/games', settings);
  // One game per page: the old one is let go, which frees its engine.
  if (created && previous && previous.id !== created.id) api('DELETE', '/api/games/' + previous.id).catch(() => {});
  return created;
}

function openNewGameDialog() {
  if (game) {
    $('size').value = game.size;
    if (game.brain) $('brain').value = game.brain;
    if (game.rule !== undefined) $('rule').value = String(game.rule);
    syncBrainToRule();
    $('time-ms').value = game.time_ms;
    $('fixed-depth').value = game.depth === null ? '' : game.depth;
  }
  $('new-game-dialog').showModal();
}

// The exact brain plays freestyle only.
function syncBrainToRule() {
  const freestyle = $('rule').value === '0';
  $('brain').querySelector('option[value="exact"]').disabled = !freestyle;
  if (!freestyle) $('brain').value = 'plus';
}

$('rule').addEventListener('change', syncBrainToRule);
$('new-game').addEventListener('click', openNewGameDialog);
$('cancel').addEventListener('click', () => $('new-game-dialog').close());
$('new-game-form').addEventListener('submit', (event) => {
  event.preventDefault();
  if (!$('new-game-form').reportValidity()) return;
  $('new-game-dialog').close();
  startGame(settingsFromDialog());
});

$('undo').addEventListener('click', () => game && gameRequest('POST', '/api/games/' + game.id + '/undo', {}));
$('hint').addEventListener('click', () => game && gameRequest('POST', '/api/games/' + game.id + '/hint', {}));
$('watch').addEventListener('click', () => game && gameRequest('POST', '/api/games/' + game.id + '/watch', { on: !game.watching }));
$('show-numbers').addEventListener('change', () => draw(game));
$('show-pv').addEventListener('change', () => draw(game));

$('copy-board').addEventListener('click', async () => {
  if (!game) return;
  const { status, data } = await api('GET', '/api/games/' + game.id + '/board');
  if (status !== 200) return setMessage(data.error || 'error ' + status);
  $('board-text').value = data.board;
  try {
    await navigator.clipboard.writeText(data.board);
    setMessage('');
  } catch (e) {
    // No clipboard (a page not served from localhost): the text is shown.
  }
});

$('load-board').addEventListener('click', () => {
  const settings = settingsFromDialog();
  if (game) {
    settings.size = game.size;
    settings.brain = game.brain;
    if (game.rule !== undefined) settings.rule = game.rule;
    settings.time_ms = game.time_ms;
    if (game.depth !== null) settings.depth = game.depth; else delete settings.depth;
  }
  delete settings.engine_first;  // the block says whose the first stone is
  settings.board = $('board-text').value;
  startGame(settings);
});

// ---- Start ----

draw(null);
updateControls();
if (transport) {
  // Each search's iterations as they finish, for the game on the board.
  transport.onProgress = (state) => {
    if (game && state.id === game.id) show(state);
  };
  // The engine lives in this page: a game with the dialog's settings, at once.
  startGame(settingsFromDialog());
} else {
  // Resume the game of this browser if the server still has it.
  const stored = Number(localStorage.getItem(STORED_GAME));
  if (stored > 0) {
    game = { id: stored };
    refresh();
  }
}
