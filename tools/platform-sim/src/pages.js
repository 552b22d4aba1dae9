'use strict';

const { send } = require('./http');
const { listMessages } = require('./dashboard');

const HTML = 'text/html; charset=utf-8';

const STYLE = `
body { margin: 0; padding: 2rem; background: #0a0a0a; color: #e0e0e0; font-family: system-ui, sans-serif; }
h1 { color: #6366f1; margin-top: 0; }
a { color: #6366f1; margin-right: 1rem; }
button { background: #6366f1; color: #fff; border: 0; border-radius: 4px; padding: .5rem .9rem; margin: .25rem .25rem .25rem 0; cursor: pointer; }
input { display: block; margin: .25rem 0 .75rem; padding: .4rem; background: #161616; color: #e0e0e0; border: 1px solid #333; border-radius: 4px; }
.muted { color: #888; }`;

function escapeHtml(text) {
  return String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);
}

function layout(title, body, script = '') {
  return `<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>${escapeHtml(title)}</title>
<style>${STYLE}</style>
</head>
<body>
<h1>${escapeHtml(title)}</h1>
${body}
${script && `<script>\n${script}\n</script>`}
</body>
</html>
`;
}

// The contract the launcher reads: the page only ever appends to this
// sessionStorage outbox, and the launcher polls it and removes what it has
// taken. Kept verbatim so the launcher's side can rely on every detail.
const OUTBOX_SCRIPT = String.raw`function sendToLauncher(channel, ...args) {
  const key = 'corvanta.launcher.outbox';
  let box = null;
  try { box = JSON.parse(sessionStorage.getItem(key)); } catch (e) { box = null; }
  if (!box || typeof box !== 'object' || !Array.isArray(box.messages) || typeof box.next !== 'number') {
    box = { epoch: Date.now().toString(36) + Math.random().toString(36).slice(2), next: 1, messages: [] };
  }
  box.messages.push({ seq: box.next++, channel: String(channel), args: args });
  sessionStorage.setItem(key, JSON.stringify(box));
}
window.sendToLauncher = sendToLauncher;`;

// The burst reloads straight after queueing so the launcher has to pick up
// messages that were written by a page that no longer exists.
const DASHBOARD_SCRIPT = String.raw`let queued = 0;
function send(channel, ...args) {
  sendToLauncher(channel, ...args);
  queued++;
  document.getElementById('sent-count').textContent = 'Messages queued by this page: ' + queued;
}
const actions = {
  'send-match-ready': () => send('match:ready', { matchId: 'm-42', lobbyName: 'Corvanta Cup #42', playerSide: 'radiant', slotNumber: 3, isCaptain: true, isJoinedLobby: false }),
  'send-match-started': () => send('match:started', 'm-42'),
  'send-lobby-joined': () => send('overlay:lobbyJoined'),
  'send-lobby-left': () => send('overlay:lobbyLeft'),
  'send-slot-occupied': () => send('overlay:slotOccupied', 'dire', 7),
  'send-logout': () => send('launcher:logout'),
  'send-burst': () => {
    for (let i = 1; i <= 20; i++) send('test:burst', i, 'quote " and \\ backslash', 'یونیکد ✅');
    location.reload();
  },
};
for (const [id, action] of Object.entries(actions)) document.getElementById(id).addEventListener('click', action);`;

// Hands what the simulator queued for this account (/__control/dashboard/send,
// or a match played through the dashboard) to the launcher, in order, each
// message once. The mark of the last one relayed survives a reload; it names
// this simulator run and account, whose numbering it belongs to, so another
// account signing in on the same page, or a restarted simulator, starts over.
function relayScript(token, source) {
  const literal = (value) => JSON.stringify(value).replace(/</g, '\\u003c');
  return String.raw`(function () {
  const key = 'corvanta.sim.relayed';
  const source = ${literal(source)};
  const path = '/dashboard/messages?token=' + encodeURIComponent(${literal(token)}) + '&after=';
  function relayed() {
    let mark = null;
    try { mark = JSON.parse(sessionStorage.getItem(key)); } catch (e) { mark = null; }
    return mark && mark.source === source && Number.isInteger(mark.seq) ? mark.seq : 0;
  }
  let polling = false;
  async function poll() {
    if (polling) return;
    polling = true;
    try {
      const response = await fetch(path + relayed());
      if (!response.ok) return;
      const { messages } = await response.json();
      for (const message of messages) {
        sendToLauncher(message.channel, ...message.args);
        sessionStorage.setItem(key, JSON.stringify({ source: source, seq: message.seq }));
      }
    } catch (e) {
      // The simulator may be gone for a moment; the next poll tries again.
    } finally {
      polling = false;
    }
  }
  setInterval(poll, 500);
})();`;
}

const BUTTONS = [
  ['send-match-ready', 'Match ready'],
  ['send-match-started', 'Match started'],
  ['send-lobby-joined', 'Lobby joined'],
  ['send-lobby-left', 'Lobby left'],
  ['send-slot-occupied', 'Slot occupied'],
  ['send-logout', 'Log out'],
  ['send-burst', 'Burst of 20 + reload'],
];

function dashboard(account, port, token, instance) {
  const buttons = BUTTONS.map(([id, label]) => `<button id="${id}" type="button">${label}</button>`).join('\n');
  return layout('Corvanta Dashboard', `<p id="user">Signed in as <bdi>${escapeHtml(account.name)}</bdi></p>
<p id="email" class="muted">${escapeHtml(account.email)}</p>
<p>
<a id="tournaments-link" href="http://localhost:${port}/tournaments">Tournaments</a>
<a id="foreign-link" href="https://example.org/corvanta">Corvanta on the web</a>
<a id="logout-link" href="app://logout">Sign out</a>
</p>
<h2>Messages to the launcher</h2>
${buttons}
<p id="sent-count" class="muted">Messages queued by this page: 0</p>`,
  `${OUTBOX_SCRIPT}\n${DASHBOARD_SCRIPT}\n${relayScript(token, `${instance}/${account.id}`)}`);
}

function sessionExpired() {
  return layout('Session expired', `<p>Your session is no longer valid. Sign in again from the launcher.</p>
<p><a id="logout-link" href="app://logout">Sign in again</a></p>`);
}

function tournaments() {
  return layout('Tournaments', `<ul>
<li>Corvanta Weekly Cup &mdash; Saturday 18:00 UTC, 16 teams</li>
<li>Corvanta Night League &mdash; every Wednesday 20:00 UTC, 8 teams</li>
</ul>
<p><a id="back-link" href="#" onclick="history.back(); return false;">Back</a></p>`);
}

// Nothing is sent anywhere: these pages only have to exist so the launcher's
// "Forgot password" and "Create account" links open something believable.
function formPage(title, fields, buttonLabel, reply) {
  const inputs = fields.map(([id, label, type]) => `<label for="${id}">${label}</label>\n<input id="${id}" type="${type}" required>`).join('\n');
  return layout(title, `<form id="form">
${inputs}
<button id="submit" type="submit">${buttonLabel}</button>
</form>
<p id="result" role="status"></p>`, `document.getElementById('form').addEventListener('submit', (event) => {
  event.preventDefault();
  document.getElementById('result').textContent = ${JSON.stringify(reply)};
});`);
}

const STATIC_PAGES = {
  '/tournaments': tournaments(),
  '/forgot-password': formPage('Reset password', [['email', 'E-mail', 'email']], 'Send reset link',
    'If the address is known, a reset link is on its way.'),
  '/register': formPage('Create account', [['name', 'Name', 'text'], ['email', 'E-mail', 'email'], ['password', 'Password', 'password']],
    'Create account', 'If the details are valid, a confirmation e-mail is on its way.'),
};

function handlePage(state, req, res, url, port) {
  if (req.method !== 'GET' && req.method !== 'HEAD') return send(res, 405, layout('Method not allowed', ''), HTML);
  if (url.pathname === '/launcher-auth') {
    const token = url.searchParams.get('token');
    const account = state.accountForToken(token);
    return account ? send(res, 200, dashboard(account, port, token, state.instance), HTML) : send(res, 401, sessionExpired(), HTML);
  }
  if (url.pathname === '/dashboard/messages') return listMessages(state, res, url);
  const page = STATIC_PAGES[url.pathname];
  return page ? send(res, 200, page, HTML) : send(res, 404, layout('Not found', '<p>There is no page here.</p>'), HTML);
}

module.exports = { handlePage };
