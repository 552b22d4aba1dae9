'use strict';

function readBody(req) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    req.on('data', (chunk) => chunks.push(chunk));
    req.on('end', () => resolve(Buffer.concat(chunks).toString('utf8')));
    req.on('error', reject);
  });
}

function send(res, status, text, contentType, headers = {}) {
  const payload = Buffer.from(text, 'utf8');
  res.writeHead(status, {
    'Content-Type': contentType,
    'Content-Length': payload.length,
    ...headers,
  });
  res.end(payload);
}

function sendJson(res, status, value, headers) {
  send(res, status, JSON.stringify(value), 'application/json', headers);
}

function invalid(res, message = 'Invalid request body') {
  sendJson(res, 400, { message });
}

const isObject = (value) => value !== null && typeof value === 'object' && !Array.isArray(value);

// Every JSON body the clients post goes through here, so "not JSON" and
// "JSON but not an object" are one answer: the caller only wants an object.
function parseObject(text) {
  try {
    const value = JSON.parse(text);
    return isObject(value) ? value : null;
  } catch {
    return null;
  }
}

// Control bodies are checked member by member against a table of validators;
// unknown members are refused so that a typo such as "delay" fails loudly
// instead of quietly doing something else. Answers the first problem, or null.
// Only the table's own names count: "constructor" is as unknown as "delay".
function problemWith(object, fields, required = []) {
  for (const name of required) {
    if (!Object.hasOwn(object, name)) return `Missing field "${name}"`;
  }
  for (const [name, value] of Object.entries(object)) {
    if (!Object.hasOwn(fields, name)) return `Unknown field "${name}"`;
    if (!fields[name](value)) return `Invalid value for "${name}"`;
  }
  return null;
}

// Routes are tables of path -> method -> handler; an unknown path and a known
// path with the wrong method must stay distinguishable for the launcher's tests.
function dispatch(routes, path, req, res, ...args) {
  const methods = routes[path];
  if (!methods) return sendJson(res, 404, { message: 'Not found' });
  const handler = methods[req.method];
  if (!handler) {
    return sendJson(res, 405, { message: 'Method not allowed' }, { Allow: Object.keys(methods).join(', ') });
  }
  return handler(req, res, ...args);
}

module.exports = { readBody, send, sendJson, invalid, isObject, parseObject, problemWith, dispatch };
