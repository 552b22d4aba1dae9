'use strict';

const { findAccount } = require('./accounts');
const { readBody, sendJson, invalid, parseObject, problemWith, dispatch } = require('./http');
const { SOCKET_ROUTES } = require('./socket-control');
const { MATCH_ROUTES } = require('./match');
const { DASHBOARD_ROUTES } = require('./dashboard');

const OK = { ok: true };

const OVERRIDE_FIELDS = {
  path: (v) => typeof v === 'string' && v.startsWith('/api/'),
  status: (v) => Number.isInteger(v) && v >= 200 && v <= 599,
  body: () => true,
  raw: (v) => typeof v === 'string',
  contentType: (v) => typeof v === 'string' && v !== '',
  delayMs: (v) => Number.isFinite(v) && v >= 0,
  hang: (v) => typeof v === 'boolean',
};

function queueOverride(req, res, state, body) {
  const override = parseObject(body);
  if (!override) return invalid(res);
  const problem = problemWith(override, OVERRIDE_FIELDS);
  if (problem) return invalid(res, problem);
  state.overrides.push({ status: 200, ...override });
  return sendJson(res, 200, OK);
}

function setLiveGame(req, res, state, body) {
  let value;
  try {
    value = JSON.parse(body);
  } catch {
    return invalid(res);
  }
  state.liveGame = value;
  return sendJson(res, 200, OK);
}

function setNotifications(req, res, state, body) {
  const request = parseObject(body);
  if (!request || !Array.isArray(request.notifications)) return invalid(res);
  const account = findAccount(request.email);
  if (!account) return sendJson(res, 404, { message: 'Unknown account' });
  state.notifications.set(account.id, request.notifications);
  return sendJson(res, 200, OK);
}

function issueToken(req, res, state, body) {
  const request = parseObject(body);
  if (!request) return invalid(res);
  const account = findAccount(request.email);
  if (!account) return sendJson(res, 404, { message: 'Unknown account' });
  return sendJson(res, 200, { token: state.issueToken(account) });
}

const ROUTES = {
  '/__control/reset': {
    POST: (req, res, state) => {
      state.reset();
      sendJson(res, 200, OK);
    },
  },
  '/__control/live-game': { PUT: setLiveGame },
  '/__control/notifications': { PUT: setNotifications },
  '/__control/token': { POST: issueToken },
  '/__control/next-response': { POST: queueOverride },
  '/__control/requests': { GET: (req, res, state) => sendJson(res, 200, state.requestLog) },
  ...SOCKET_ROUTES,
  ...MATCH_ROUTES,
  ...DASHBOARD_ROUTES,
};

async function handleControl(state, realtime, req, res, url) {
  const body = await readBody(req);
  return dispatch(ROUTES, url.pathname, req, res, state, body, realtime);
}

module.exports = { handleControl };
