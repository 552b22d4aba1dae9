'use strict';

// Shared by the test files; kept outside test/ because `node --test test/`
// would otherwise run it as a test file of its own.
const { createSimulator } = require('../src/server');

async function startSimulator(t, options = {}) {
  const simulator = await createSimulator({ port: 0, ...options });
  // A close() that never finishes must fail the test, not stall the run.
  t.after(() => simulator.close(), { timeout: 3000 });
  return simulator;
}

async function call(simulator, method, path, { body, token, headers = {}, signal } = {}) {
  const response = await fetch(simulator.url + path, {
    method,
    headers: token ? { ...headers, Authorization: `Bearer ${token}` } : headers,
    body: body === undefined || typeof body === 'string' ? body : JSON.stringify(body),
    signal,
  });
  const text = await response.text();
  return {
    status: response.status,
    contentType: response.headers.get('content-type'),
    text,
    json: () => JSON.parse(text),
  };
}

// Control calls must succeed for a test to mean anything, so they fail loudly.
async function control(simulator, method, path, body) {
  const response = await call(simulator, method, `/__control/${path}`, { body });
  if (response.status !== 200) throw new Error(`${method} /__control/${path} -> ${response.status} ${response.text}`);
  return response.json();
}

async function tokenFor(simulator, email) {
  return (await control(simulator, 'POST', 'token', { email })).token;
}

module.exports = { startSimulator, call, control, tokenFor };
