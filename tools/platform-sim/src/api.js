'use strict';

const { findAccount, publicUser } = require('./accounts');
const { readBody, send, sendJson, parseObject, dispatch } = require('./http');
const { liveGameFor } = require('./match');

const isFilledString = (value) => typeof value === 'string' && value !== '';

function login(req, res, state, body) {
  const credentials = parseObject(body);
  if (!credentials) return sendJson(res, 400, { message: 'Invalid request body' });
  const { email, password } = credentials;
  if (!isFilledString(email) || !isFilledString(password)) {
    return sendJson(res, 400, { message: 'Email and password are required' });
  }
  const account = findAccount(email);
  if (!account || account.password !== password) {
    // Both members on purpose: real deployments answer with either shape,
    // and the launcher has to prefer "error" when both are present.
    return sendJson(res, 401, { error: 'Invalid email or password', message: 'Unauthorized' });
  }
  return sendJson(res, 200, { token: state.issueToken(account), user: publicUser(account) });
}

function authenticated(handler) {
  return (req, res, state) => {
    const match = /^Bearer (\S+)$/.exec(req.headers.authorization ?? '');
    const account = match && state.accountForToken(match[1]);
    if (!account) return sendJson(res, 401, { error: 'Unauthorized' });
    return handler(res, state, account);
  };
}

const ROUTES = {
  '/api/launcher/auth': { POST: login },
  '/api/launcher/live-game': {
    GET: authenticated((res, state, account) => sendJson(res, 200, { liveGame: liveGameFor(state, account) })),
  },
  '/api/launcher/notifications': {
    GET: authenticated((res, state, account) => sendJson(res, 200, { notifications: state.notifications.get(account.id) })),
  },
  '/api/launcher/notifications/unread-count': {
    GET: authenticated((res, state, account) => sendJson(res, 200, { count: state.unreadCount(account) })),
  },
};

function answerWithOverride(res, override) {
  if (override.hang) return;
  const respond = () => {
    if (override.raw !== undefined) {
      send(res, override.status, override.raw, override.contentType ?? 'text/html');
    } else {
      const text = override.body === undefined ? '' : JSON.stringify(override.body);
      send(res, override.status, text, override.contentType ?? 'application/json');
    }
  };
  if (!override.delayMs) return respond();
  const timer = setTimeout(respond, override.delayMs);
  res.on('close', () => clearTimeout(timer));
}

async function handleApi(state, req, res, url) {
  const body = await readBody(req);
  state.requestLog.push({
    method: req.method,
    path: url.pathname,
    query: Object.fromEntries(url.searchParams),
    headers: req.headers,
    body,
  });
  const override = state.takeOverride(url.pathname);
  if (override) return answerWithOverride(res, override);
  return dispatch(ROUTES, url.pathname, req, res, state, body);
}

module.exports = { handleApi };
