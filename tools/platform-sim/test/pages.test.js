'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const vm = require('node:vm');
const { startSimulator, call, control, tokenFor } = require('../test-support/simulator');

const HTML = 'text/html; charset=utf-8';
const OUTBOX_KEY = 'corvanta.launcher.outbox';

const titleOf = (html) => /<title>(.*?)<\/title>/.exec(html)?.[1];
const hrefOf = (html, id) => new RegExp(`<a id="${id}" href="([^"]*)"`).exec(html)?.[1];

// Runs a page's inline scripts against just enough of a browser to click its
// buttons and read what they left in sessionStorage. Timers never fire on
// their own: tick() runs every interval callback once and waits for it, and
// fetch goes to origin. A reload is a second page on the same storage.
function loadPage(html, { origin, storage = new Map() } = {}) {
  const elements = new Map();
  const timers = [];
  const element = (id) => {
    if (!html.includes(`id="${id}"`)) throw new Error(`no element #${id}`);
    if (!elements.has(id)) elements.set(id, { listeners: {}, textContent: '', addEventListener(type, fn) { this.listeners[type] = fn; } });
    return elements.get(id);
  };
  const page = {
    storage,
    reloads: [],
    intervals: [],
    outbox: () => JSON.parse(storage.get(OUTBOX_KEY) ?? 'null'),
    click: (id) => element(id).listeners.click(),
    submit: (id) => element(id).listeners.submit({ preventDefault() {} }),
    text: (id) => element(id).textContent,
    tick: () => Promise.all(timers.map((fn) => fn())),
  };
  const context = {
    sessionStorage: { getItem: (key) => storage.get(key) ?? null, setItem: (key, value) => storage.set(key, String(value)) },
    document: { getElementById: element },
    location: { reload: () => page.reloads.push(page.outbox()?.messages.length ?? 0) },
    setInterval: (fn, ms) => {
      timers.push(fn);
      page.intervals.push(ms);
      return timers.length;
    },
    fetch: (path, init) => fetch(new URL(path, origin), init),
  };
  context.window = context;
  vm.createContext(context);
  for (const [, script] of html.matchAll(/<script>([\s\S]*?)<\/script>/g)) vm.runInContext(script, context);
  page.window = context;
  return page;
}

test('launcher-auth without a valid token shows the session-expired page', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, 'player@corvanta.test');
  for (const query of ['', '?token=', '?token=unknown', `?token=${token}x`, `?other=${token}`]) {
    const response = await call(sim, 'GET', `/launcher-auth${query}`);
    assert.equal(response.status, 401, query);
    assert.equal(response.contentType, HTML, query);
    assert.equal(titleOf(response.text), 'Session expired', query);
    assert.ok(response.text.includes('Your session is no longer valid. Sign in again from the launcher.'), query);
    assert.equal(hrefOf(response.text, 'logout-link'), 'app://logout', query);
  }
});

test('launcher-auth with a valid token shows the dashboard of that account', async (t) => {
  const sim = await startSimulator(t);
  const accounts = [
    ['player@corvanta.test', 'Demo Player'],
    ['captain@corvanta.test', 'Sara Captain'],
    ['persian@corvanta.test', 'بازیکن نمونه'],
  ];
  for (const [email, name] of accounts) {
    const response = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, email)}`);
    assert.equal(response.status, 200, email);
    assert.equal(response.contentType, HTML, email);
    assert.equal(titleOf(response.text), 'Corvanta Dashboard', email);
    assert.ok(response.text.includes(`<p id="user">Signed in as <bdi>${name}</bdi></p>`), email);
    assert.ok(response.text.includes(`<p id="email" class="muted">${email}</p>`), email);
    assert.equal(hrefOf(response.text, 'tournaments-link'), `http://localhost:${sim.port}/tournaments`, email);
    assert.equal(hrefOf(response.text, 'foreign-link'), 'https://example.org/corvanta', email);
    assert.equal(hrefOf(response.text, 'logout-link'), 'app://logout', email);
  }
});

test('pages load nothing from the network', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, 'player@corvanta.test');
  const allowedLinks = new Set([`http://localhost:${sim.port}/tournaments`, 'https://example.org/corvanta', 'app://logout', '#']);
  for (const path of [`/launcher-auth?token=${token}`, '/launcher-auth', '/tournaments', '/forgot-password', '/register', '/missing']) {
    const { text } = await call(sim, 'GET', path);
    assert.doesNotMatch(text, /\ssrc=|<link|@import|url\(/i, path);
    for (const [, href] of text.matchAll(/href="([^"]*)"/g)) assert.ok(allowedLinks.has(href), `${path}: ${href}`);
  }
});

const BUTTON_MESSAGES = [
  ['send-match-ready', 'match:ready', [{ matchId: 'm-42', lobbyName: 'Corvanta Cup #42', playerSide: 'radiant', slotNumber: 3, isCaptain: true, isJoinedLobby: false }]],
  ['send-match-started', 'match:started', ['m-42']],
  ['send-lobby-joined', 'overlay:lobbyJoined', []],
  ['send-lobby-left', 'overlay:lobbyLeft', []],
  ['send-slot-occupied', 'overlay:slotOccupied', ['dire', 7]],
  ['send-logout', 'launcher:logout', []],
];

test('dashboard buttons append numbered messages to the outbox', async (t) => {
  const sim = await startSimulator(t);
  const { text } = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, 'player@corvanta.test')}`);
  const page = loadPage(text);
  assert.equal(typeof page.window.sendToLauncher, 'function');

  BUTTON_MESSAGES.forEach(([id], index) => {
    page.click(id);
    assert.equal(page.text('sent-count'), `Messages queued by this page: ${index + 1}`);
  });
  const box = page.outbox();
  assert.equal(typeof box.epoch, 'string');
  assert.ok(box.epoch.length > 0);
  assert.equal(box.next, BUTTON_MESSAGES.length + 1);
  assert.deepEqual(box.messages, BUTTON_MESSAGES.map(([, channel, args], index) => ({ seq: index + 1, channel, args })));
  assert.deepEqual(page.reloads, []);
});

test('the outbox keeps its epoch and numbering and restarts only when unreadable', async (t) => {
  const sim = await startSimulator(t);
  const { text } = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, 'player@corvanta.test')}`);
  const page = loadPage(text);
  const storage = page.window.sessionStorage;

  storage.setItem(OUTBOX_KEY, JSON.stringify({ epoch: 'kept', next: 41, messages: [] }));
  page.window.sendToLauncher('one', 1);
  page.window.sendToLauncher(2);
  assert.deepEqual(page.outbox(), { epoch: 'kept', next: 43, messages: [{ seq: 41, channel: 'one', args: [1] }, { seq: 42, channel: '2', args: [] }] });

  for (const broken of ['not json', '[]', '{"epoch":"x","next":"5","messages":[]}', '{"epoch":"x","next":5}']) {
    storage.setItem(OUTBOX_KEY, broken);
    page.window.sendToLauncher('fresh');
    const box = page.outbox();
    assert.notEqual(box.epoch, 'x', broken);
    assert.deepEqual({ next: box.next, messages: box.messages }, { next: 2, messages: [{ seq: 1, channel: 'fresh', args: [] }] }, broken);
  }
});

test('the burst button queues 20 messages before it reloads the page', async (t) => {
  const sim = await startSimulator(t);
  const { text } = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, 'captain@corvanta.test')}`);
  const page = loadPage(text);
  page.click('send-match-started');
  page.click('send-burst');

  const burst = Array.from({ length: 20 }, (_, i) => ({ seq: i + 2, channel: 'test:burst', args: [i + 1, 'quote " and \\ backslash', 'یونیکد ✅'] }));
  assert.deepEqual(page.outbox().messages, [{ seq: 1, channel: 'match:started', args: ['m-42'] }, ...burst]);
  assert.deepEqual(page.reloads, [21]);
});

test('the dashboard relays queued messages to the outbox in order, each once, across reloads and accounts', async (t) => {
  const sim = await startSimulator(t);
  const send = (email, channel, args) => control(sim, 'POST', 'dashboard/send', { email, channel, args });
  const open = async (email, storage) =>
    loadPage((await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, email)}`)).text, { origin: sim.url, storage });
  const relayed = (page) => page.outbox()?.messages.map(({ channel, args }) => [channel, ...args]) ?? [];

  await send('player@corvanta.test', 'match:ready', [{ matchId: 'm-1', slotNumber: -1 }]);
  await send('player@corvanta.test', 'overlay:slotOccupied', ['Dire', 2]);
  const page = await open('player@corvanta.test');
  assert.deepEqual(page.intervals, [500]);
  await page.tick();
  await page.tick();
  assert.deepEqual(relayed(page), [['match:ready', { matchId: 'm-1', slotNumber: -1 }], ['overlay:slotOccupied', 'Dire', 2]]);

  await send('player@corvanta.test', 'overlay:lobbyJoined', []);
  const reloaded = await open('player@corvanta.test', page.storage);
  await reloaded.tick();
  assert.deepEqual(relayed(reloaded).slice(2), [['overlay:lobbyJoined']]);

  // Another account's numbering starts at 1 again: signing in on the same page skips none of its messages.
  await send('captain@corvanta.test', 'match:started', ['m-2']);
  const captain = await open('captain@corvanta.test', page.storage);
  await captain.tick();
  assert.deepEqual(relayed(captain).slice(3), [['match:started', 'm-2']]);
});

const PAGES = [
  ['/tournaments', 200, 'Tournaments', ['history.back()', 'Corvanta Weekly Cup']],
  ['/forgot-password', 200, 'Reset password', ['id="email" type="email"', 'id="submit"']],
  ['/register', 200, 'Create account', ['id="name" type="text"', 'id="email" type="email"', 'id="password" type="password"', 'id="submit"']],
  ['/', 404, 'Not found', []],
  ['/dashboard', 404, 'Not found', []],
  ['/tournaments/extra', 404, 'Not found', []],
];

test('the other pages answer with their status, title and content', async (t) => {
  const sim = await startSimulator(t);
  for (const [path, status, title, fragments] of PAGES) {
    const response = await call(sim, 'GET', path);
    assert.equal(response.status, status, path);
    assert.equal(response.contentType, HTML, path);
    assert.equal(titleOf(response.text), title, path);
    for (const fragment of fragments) assert.ok(response.text.includes(fragment), `${path}: ${fragment}`);
  }
  const posted = await call(sim, 'POST', '/tournaments');
  assert.equal(posted.status, 405);
});

test('the form pages confirm locally when submitted', async (t) => {
  const sim = await startSimulator(t);
  const cases = [
    ['/forgot-password', 'If the address is known, a reset link is on its way.'],
    ['/register', 'If the details are valid, a confirmation e-mail is on its way.'],
  ];
  for (const [path, reply] of cases) {
    const page = loadPage((await call(sim, 'GET', path)).text);
    assert.equal(page.text('result'), '', path);
    page.submit('form');
    assert.equal(page.text('result'), reply, path);
  }
});
