'use strict';

const { findAccount } = require('./accounts');
const { sendJson, invalid, parseObject, problemWith } = require('./http');
const { unknownAccount } = require('./socket-control');

// Messages waiting for an account's dashboard page, which polls for them and
// hands them to the launcher through its outbox. Numbers are per account and
// never restart, not even when reset() drops what is queued: a page that has
// relayed up to N must never mistake a later message for one it already sent.
class DashboardQueue {
  constructor() {
    this.lastSeq = new Map();
    this.clear();
  }

  clear() {
    this.messages = new Map();
  }

  queue(account, channel, args = []) {
    const seq = (this.lastSeq.get(account.id) ?? 0) + 1;
    this.lastSeq.set(account.id, seq);
    if (!this.messages.has(account.id)) this.messages.set(account.id, []);
    this.messages.get(account.id).push({ seq, channel, args });
    return seq;
  }

  after(account, seq) {
    return (this.messages.get(account.id) ?? []).filter((message) => message.seq > seq);
  }
}

const SEND_FIELDS = {
  email: (v) => typeof v === 'string',
  channel: (v) => typeof v === 'string' && v !== '',
  args: Array.isArray,
};

function send(req, res, state, body) {
  const request = parseObject(body);
  if (!request) return invalid(res);
  const problem = problemWith(request, SEND_FIELDS, ['email', 'channel']);
  if (problem) return invalid(res, problem);
  const account = findAccount(request.email);
  if (!account) return unknownAccount(res);
  return sendJson(res, 200, { ok: true, seq: state.dashboard.queue(account, request.channel, request.args) });
}

// A page route, polled by the dashboard itself: it answers JSON, but it is
// not part of the launcher API and stays out of the request log.
function listMessages(state, res, url) {
  const account = state.accountForToken(url.searchParams.get('token'));
  if (!account) return sendJson(res, 401, { error: 'Unauthorized' });
  const after = url.searchParams.get('after') ?? '0';
  if (!/^\d+$/.test(after)) return invalid(res, 'Invalid value for "after"');
  return sendJson(res, 200, { messages: state.dashboard.after(account, Number(after)) }, { 'Cache-Control': 'no-store' });
}

const DASHBOARD_ROUTES = {
  '/__control/dashboard/send': { POST: send },
};

module.exports = { DashboardQueue, DASHBOARD_ROUTES, listMessages };
