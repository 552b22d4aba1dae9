'use strict';

const crypto = require('node:crypto');

const ACCOUNTS = Object.freeze([
  { id: 'u-1001', email: 'player@corvanta.test', password: 'demo1234', name: 'Demo Player', steamId: '76561198000000001' },
  { id: 'u-1002', email: 'captain@corvanta.test', password: 'captain1234', name: 'Sara Captain', steamId: '76561198000000002' },
  { id: 'u-1003', email: 'persian@corvanta.test', password: 'demo1234', name: 'بازیکن نمونه', steamId: '' },
].map(Object.freeze));

// The launcher sends the address exactly as typed, so no trimming or case
// folding here: a test that types " Player@..." must see the login fail.
function findAccount(email) {
  return ACCOUNTS.find((account) => account.email === email) ?? null;
}

function publicUser({ id, name, email, steamId }) {
  return { id, name, email, steamId };
}

function defaultNotifications(account, now = Date.now()) {
  const minutesAgo = (minutes) => new Date(now - minutes * 60_000).toISOString();
  return [
    {
      id: `n-${account.id}-2`,
      read: false,
      type: 'TOURNAMENT_STARTING',
      title: 'Tournament starting',
      message: 'Corvanta Weekly Cup starts in 30 minutes',
      createdAt: minutesAgo(5),
    },
    {
      id: `n-${account.id}-1`,
      read: true,
      type: 'SYSTEM',
      title: 'Welcome',
      message: 'Welcome to Corvanta',
      createdAt: minutesAgo(2 * 24 * 60),
    },
  ];
}

// Tokens are signed rather than remembered, so they stay valid when the simulator restarts: a
// launcher that restores its stored session finds it still signed in, as with the real platform.
// The key only has to be the same in every simulator run; it guards nothing.
const SIGNING_KEY = 'corvanta-platform-simulator';

function signature(payload) {
  return crypto.createHmac('sha256', SIGNING_KEY).update(payload).digest('base64url');
}

function newToken(account) {
  const payload = `${account.id}.${crypto.randomBytes(18).toString('base64url')}`;
  return `${payload}.${signature(payload)}`;
}

function accountForToken(token) {
  if (typeof token !== 'string') return null;
  const cut = token.lastIndexOf('.');
  if (cut < 0) return null;
  const payload = token.slice(0, cut);
  const expected = Buffer.from(signature(payload));
  const given = Buffer.from(token.slice(cut + 1));
  if (given.length !== expected.length || !crypto.timingSafeEqual(given, expected)) return null;
  const id = payload.slice(0, payload.indexOf('.'));
  return ACCOUNTS.find((account) => account.id === id) ?? null;
}

module.exports = { ACCOUNTS, findAccount, publicUser, defaultNotifications, newToken, accountForToken };
