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
    outbox: () => JSON.parse(storage.get(OUTBOX_KEY) ?? 'null'),
    click: (id) => element(id).listeners.click(),
    text: (id) => element(id).textContent,
    tick: () => Promise.all(timers.map((fn) => fn())),
  };
  const context = {
    sessionStorage: { getItem: (key) => storage.get(key) ?? null, setItem: (key, value) => storage.set(key, String(value)) },
    document: { getElementById: element },
    location: { reload: () => page.reloads.push(page.outbox()?.messages.length ?? 0) },
    setInterval: (fn) => timers.push(fn),
    fetch: (path, init) => fetch(new URL(path, origin), init),
  };
  context.window = context;
  vm.createContext(context);
  for (const [, script] of html.matchAll(/<script>([\s\S]*?)<\/script>/g)) vm.runInContext(script, context);
  page.window = context;
  return page;
}

test('launcher-auth shows the session-expired page without a valid token and the account\'s dashboard with one; the linked pages answer', async (t) => {
  const sim = await startSimulator(t);
  const token = await tokenFor(sim, 'player@corvanta.test');
  for (const query of ['', `?token=${token}x`, `?other=${token}`]) {
    const response = await call(sim, 'GET', `/launcher-auth${query}`);
    assert.deepEqual([response.status, response.contentType, titleOf(response.text)], [401, HTML, 'Session expired'], query);
    assert.ok(response.text.includes('Your session is no longer valid. Sign in again from the launcher.'), query);
    assert.equal(hrefOf(response.text, 'logout-link'), 'app://logout', query);
  }
  for (const [email, name] of [['player@corvanta.test', 'Demo Player'], ['persian@corvanta.test', 'بازیکن نمونه']]) {
    const response = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, email)}`);
    assert.deepEqual([response.status, response.contentType, titleOf(response.text)], [200, HTML, 'Corvanta Dashboard'], email);
    assert.ok(response.text.includes(`<p id="user">Signed in as <bdi>${name}</bdi></p>`), email);
    assert.ok(response.text.includes(`<p id="email" class="muted">${email}</p>`), email);
    const links = ['tournaments-link', 'foreign-link', 'logout-link'].map((id) => hrefOf(response.text, id));
    assert.deepEqual(links, [`http://localhost:${sim.port}/tournaments`, 'https://example.org/corvanta', 'app://logout'], email);
  }
  for (const [path, status, title] of [['/tournaments', 200, 'Tournaments'], ['/forgot-password', 200, 'Reset password'], ['/register', 200, 'Create account'], ['/missing', 404, 'Not found']]) {
    const response = await call(sim, 'GET', path);
    assert.deepEqual([response.status, response.contentType, titleOf(response.text)], [status, HTML, title], path);
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

test('dashboard buttons append numbered messages to the outbox under one epoch; the burst queues 20 and reloads', async (t) => {
  const sim = await startSimulator(t);
  const { text } = await call(sim, 'GET', `/launcher-auth?token=${await tokenFor(sim, 'player@corvanta.test')}`);
  const page = loadPage(text);
  BUTTON_MESSAGES.forEach(([id], index) => {
    page.click(id);
    assert.equal(page.text('sent-count'), `Messages queued by this page: ${index + 1}`);
  });
  const { epoch, next, messages } = page.outbox();
  assert.ok(typeof epoch === 'string' && epoch.length > 0, epoch);
  assert.equal(next, BUTTON_MESSAGES.length + 1);
  assert.deepEqual(messages, BUTTON_MESSAGES.map(([, channel, args], index) => ({ seq: index + 1, channel, args })));
  assert.deepEqual(page.reloads, []);

  page.click('send-burst');
  const burst = Array.from({ length: 20 }, (_, i) => ({ seq: i + 7, channel: 'test:burst', args: [i + 1, 'quote " and \\ backslash', 'یونیکد ✅'] }));
  assert.deepEqual(page.outbox(), { epoch, next: 27, messages: [...messages, ...burst] });
  assert.deepEqual(page.reloads, [26]);
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
