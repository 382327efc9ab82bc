// The simulator's page: polls the journal (cheap) and fetches the state only when its version
// moved or the user filter changed. The state comes one page of users at a time, so a gateway of
// 100,000 users costs what one page does; a search waits until typing pauses, since each one
// reads every user. Everything is built with textContent, never innerHTML: serials, names and
// pins are the host's data.
'use strict';

const POLL_MS = 500;
const TIMELINE_KEPT = 300;
const PAGE_SIZE = 100;
const SEARCH_PAUSE_MS = 300;  // typing "muller" sends one search, not six
let lastSeq = 0;
let stateVersion = -1;
let timeline = [];
let unlocked = new Set();  // "serial id" of commands that opened a door
const filter = { terminal: '', search: '', offset: 0, pin: '' };  // pin: jump to its page once
let filterChanged = false;
let stateRequests = 0;  // a reply to an older request (an older filter) is not shown
let matchingUsers = 0;
let jumpedPin = '';  // the row shown after a jump to a pin
let searchTimer = null;
let lastSummary = null;
const number = new Intl.NumberFormat('en');

function el(tag, attrs, ...children) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attrs || {})) {
    if (name === 'class') node.className = value;
    else if (name.startsWith('on')) node.addEventListener(name.slice(2), value);
    else node.setAttribute(name, value);
  }
  for (const child of children) {
    if (child !== null && child !== undefined) {
      node.append(child instanceof Node ? child : String(child));
    }
  }
  return node;
}

function pill(text, kind) {
  return el('span', { class: 'pill ' + kind }, text);
}

function say(text, ok) {
  const message = document.getElementById('message');
  message.textContent = text;
  message.className = ok ? 'ok' : '';
}

async function getJson(path) {
  const response = await fetch(path, { cache: 'no-store' });
  if (!response.ok) throw new Error(path + ': ' + (await response.text()));
  return response.json();
}

async function control(path, done) {
  const response = await fetch(path, { method: 'POST' });
  const text = await response.text();
  if (response.ok) say(done, true);
  else say(text, false);
  await refresh(true);
}

function query(params) {
  return new URLSearchParams(params).toString();
}

function showTerminal(serial) {
  filter.terminal = serial;
  filter.offset = 0;
  document.getElementById('user-terminal').value = serial;
  refresh(true);
}

function terminalRow(terminal) {
  const serial = terminal.serial;
  const doors = terminal.doorsOpened;
  const codeInput = el('input', { class: 'code', name: 'code', placeholder: '-1003', 'aria-label': 'next result code for ' + serial });
  const nextForm = el('form', {
    onsubmit: (event) => {
      event.preventDefault();
      control('/_sim/next-result?' + query({ terminal: serial, code: codeInput.value.trim() }),
        'the next result of ' + serial + ' will carry ' + codeInput.value.trim());
    },
  }, codeInput, ' ', el('button', { type: 'submit' }, 'Set next result'));
  const toggle = terminal.connected
    ? el('button', { type: 'button', class: 'disconnect', onclick: () => control('/_sim/disconnect?' + query({ terminal: serial }), serial + ' disconnected') }, 'Disconnect')
    : el('button', { type: 'button', class: 'connect', onclick: () => control('/_sim/connect?' + query({ terminal: serial }), serial + ' connected') }, 'Connect');
  return el('tr', { 'data-serial': serial, 'data-connected': String(terminal.connected), 'data-bound': String(terminal.bound) },
    el('td', { class: 'mono' }, serial),
    el('td', {}, terminal.connected ? pill('connected', 'on') : pill('offline', 'off')),
    el('td', { class: 'binding' }, terminal.bound ? pill('channel ' + terminal.channel, 'on') : pill('not bound', 'neutral')),
    el('td', { class: 'user-count' }, el('button', { type: 'button', class: 'link', title: 'list the users of ' + serial, onclick: () => showTerminal(serial) }, number.format(terminal.users))),
    el('td', {}, number.format(terminal.photos)),
    el('td', { class: 'doors' }, doors ? pill(doors + ' opened', 'door') : '—'),
    el('td', { class: 'mono next-result' }, terminal.nextResult === null ? '—' : terminal.nextResult),
    el('td', { class: 'controls' }, toggle, nextForm));
}

function photoCell(user) {
  const shown = user.photos.find((photo) => photo.image);
  if (shown) {
    const img = el('img', { class: 'photo', src: shown.image, alt: 'photo of ' + user.name, loading: 'lazy', title: 'type ' + shown.type + ', ' + shown.size + ' bytes as sent' });
    // The host may send bytes no browser can decode; say so rather than show a broken icon.
    img.addEventListener('error', () => img.replaceWith(el('div', { class: 'no-photo', title: 'the content is not an image a browser can show' }, 'unreadable')));
    return img;
  }
  const linked = user.photos.find((photo) => photo.url);
  return el('div', { class: 'no-photo', title: linked ? 'url only: ' + linked.url : '' }, linked ? 'url only' : 'no photo');
}

function userRow(user) {
  return el('tr', { 'data-pin': user.pin, 'data-serial': user.terminal, class: user.pin === jumpedPin ? 'jumped' : '' },
    el('td', { class: 'mono' }, user.terminal),
    el('td', { class: 'photo-cell' }, photoCell(user)),
    el('td', { class: 'mono' }, user.pin),
    el('td', { class: 'name' }, user.name),
    el('td', {}, user.pri),
    el('td', {}, user.verify),
    el('td', { class: 'mono' }, user.card),
    el('td', { class: 'mono' }, user.vicecard));
}

function usersTable(users) {
  if (!users.items.length) {
    return el('p', { class: 'empty' }, users.total === 0 && !filter.search && !filter.terminal ? 'No users yet.' : 'No user matches.');
  }
  const rows = users.items.map(userRow);
  return el('table', {},
    el('thead', {}, el('tr', {}, ...['Terminal', 'Photo', 'Pin', 'Name', 'Pri', 'Verify', 'Card', 'Vice card'].map((h) => el('th', {}, h)))),
    el('tbody', {}, ...rows));
}

function renderSummary(summary) {
  lastSummary = summary;
  const part = (count, text) => [el('b', {}, number.format(count)), ' ' + text];
  document.getElementById('summary').replaceChildren(
    ...part(summary.terminals, 'terminals'), ' (', ...part(summary.connected, 'connected'), ', ',
    ...part(summary.bound, 'bound'), ') · ', ...part(summary.users, 'users'), ' · ',
    ...part(summary.photos, 'photos'), ' · ', ...part(summary.pendingResults, 'results not yet fetched'),
    ' · ', ...part(summary.unlocks, 'doors opened'));
}

function renderTerminalChoice(terminals) {
  const select = document.getElementById('user-terminal');
  const wanted = [''].concat(terminals.map((t) => t.serial));
  const have = Array.from(select.options).map((o) => o.value);
  if (wanted.join('\n') !== have.join('\n')) {
    select.replaceChildren(...wanted.map((serial) => el('option', { value: serial }, serial || 'All terminals')));
  }
  select.value = filter.terminal;
}

function renderUsers(users) {
  matchingUsers = users.total;
  const first = users.total ? users.offset + 1 : 0;
  const last = users.offset + users.items.length;
  document.getElementById('page-range').textContent =
    number.format(first) + '–' + number.format(last) + ' of ' + number.format(users.total);
  document.getElementById('page-prev').disabled = users.offset === 0;
  document.getElementById('page-next').disabled = last >= users.total;
  const pages = Math.max(1, Math.ceil(users.total / PAGE_SIZE));
  const pageNumber = document.getElementById('page-number');
  pageNumber.max = pages;
  if (document.activeElement !== pageNumber) pageNumber.value = Math.floor(users.offset / PAGE_SIZE) + 1;
  document.getElementById('page-count').textContent = 'of ' + number.format(pages);
  document.getElementById('users').replaceChildren(usersTable(users));
}

function renderState(state) {
  unlocked = new Set(state.unlocks.map((u) => u.terminal + ' ' + u.id));
  renderSummary(state.summary);
  document.querySelector('#terminals tbody').replaceChildren(...state.terminals.map(terminalRow));
  renderTerminalChoice(state.terminals);
  renderUsers(state.users);
  document.querySelector('#results tbody').replaceChildren(...state.pendingResults.map((r) =>
    el('tr', {}, el('td', { class: 'mono' }, r.terminal), el('td', { class: 'mono' }, r.id),
      el('td', { class: 'mono' }, r.return), el('td', {}, r.meaning))));
  const more = state.summary.pendingResults - state.pendingResults.length;
  document.getElementById('results-more').hidden = more <= 0;
  document.getElementById('results-more').textContent = 'and ' + number.format(more) + ' more waiting';
  document.getElementById('results-empty').hidden = state.pendingResults.length > 0;
  renderTimeline();
}

// One line per request: what it asked for, in words where the fields allow.
function describe(entry) {
  const f = entry.fields || {};
  const data = typeof f.data === 'object' && f.data !== null ? f.data : {};
  const command = entry.path.replace(/^\/facepad\//, '');
  const parts = [];
  if (f.id !== undefined) parts.push('#' + f.id);
  if (data.pin !== undefined) parts.push('pin ' + data.pin);
  if (data.name) parts.push(data.name);
  if (f.ch !== undefined) parts.push('channel ' + f.ch);
  if (f.port !== undefined) parts.push('port ' + f.port);
  return command + (parts.length ? '  ' + parts.join(', ') : '');
}

function timelineItem(entry) {
  const isDoor = entry.path === '/facepad/controldevice';
  const opened = isDoor && unlocked.has(entry.terminal + ' ' + (entry.fields || {}).id);
  const classes = [isDoor ? 'door' : '', entry.status >= 400 ? 'failed' : ''].join(' ').trim();
  return el('li', { class: classes, 'data-path': entry.path, title: entry.answer },
    el('span', { class: 'time mono' }, entry.time.slice(11, 23)),
    el('span', { class: 'mono' }, entry.terminal || '—'),
    el('span', { class: 'what' }, describe(entry), ' ', opened ? pill('door opened', 'door') : null,
      entry.fault ? pill('fault: ' + entry.fault, 'off') : null),
    el('span', { class: 'status mono' }, entry.status));
}

function renderTimeline() {
  const items = timeline.slice(-TIMELINE_KEPT).reverse().map(timelineItem);
  document.getElementById('timeline').replaceChildren(...items);
  document.getElementById('timeline-empty').hidden = timeline.length > 0;
}

async function refresh(force) {
  const journal = await getJson('/_sim/journal?' + query({ since: lastSeq }));
  if (journal.last < lastSeq) timeline = [];
  timeline.push(...journal.entries);
  timeline = timeline.slice(-TIMELINE_KEPT);
  lastSeq = journal.last;
  if (force || filterChanged || journal.version !== stateVersion) {
    filterChanged = false;
    const params = { offset: filter.offset, limit: PAGE_SIZE };
    if (filter.terminal) params.terminal = filter.terminal;
    if (filter.search) params.search = filter.search;
    // The jump asked for by this request: a jump asked for while it was under way is still to come.
    const pin = filter.pin;
    if (pin) params.pin = pin;
    const mine = ++stateRequests;
    const state = await getJson('/_sim/state?' + query(params));
    if (mine !== stateRequests) return;
    if (pin) landOnPin(pin, state.users);
    stateVersion = state.version;
    renderState(state);
  } else if (journal.entries.length) {
    renderTimeline();
  }
}

async function poll() {
  try {
    await refresh(false);
    const live = document.getElementById('live');
    live.textContent = 'live';
    live.className = 'pill on';
  } catch (error) {
    const live = document.getElementById('live');
    live.textContent = 'simulator not reachable';
    live.className = 'pill off';
  }
  setTimeout(poll, POLL_MS);
}

// After a jump the page stays where the pin was, like any other page.
function landOnPin(pin, users) {
  if (users.pinFound) {
    filter.offset = users.offset;
    jumpedPin = pin;
    say('pin ' + pin + ' is on page ' + number.format(users.offset / PAGE_SIZE + 1), true);
  } else {
    say('no user with pin ' + pin + (filter.search || filter.terminal ? ' among those listed' : ''), false);
  }
  if (filter.pin === pin) filter.pin = '';
}

function changeFilter(change) {
  clearTimeout(searchTimer);
  change();
  filterChanged = true;
  refresh(true).catch(() => {});
}

function searchNow() {
  const text = document.getElementById('user-search').value.trim();
  if (text !== filter.search) changeFilter(() => { filter.search = text; filter.offset = 0; jumpedPin = ''; });
}

function goToPage() {
  const wanted = Math.floor(Number(document.getElementById('page-number').value));
  const pages = Math.max(1, Math.ceil(matchingUsers / PAGE_SIZE));
  if (!Number.isFinite(wanted)) return;
  changeFilter(() => { filter.offset = (Math.min(Math.max(wanted, 1), pages) - 1) * PAGE_SIZE; });
}

function goToPin() {
  const pin = document.getElementById('pin-jump').value.trim();
  if (pin) changeFilter(() => { filter.pin = pin; });
}

// Names what a reset loses, counted just before asking; nothing is reset unless confirmed.
async function confirmReset() {
  let summary = lastSummary;
  try {
    summary = (await getJson('/_sim/state?' + query({ limit: 1 }))).summary;
  } catch (error) {
    // The counts last shown will do.
  }
  const counted = (n, one, many) => number.format(n) + ' ' + (n === 1 ? one : many);
  const counts = summary
    ? [counted(summary.users, 'user', 'users'), counted(summary.photos, 'photo', 'photos'),
      counted(summary.pendingResults, 'result not yet fetched', 'results not yet fetched'),
      counted(summary.bound, 'binding', 'bindings'), counted(summary.unlocks, 'door opening', 'door openings')].join(', ')
    : 'every user, photo, result and binding';
  return window.confirm('Reset the simulator? This forgets ' + counts +
    ', the settings and the request journal, and cannot be undone.');
}

document.getElementById('user-terminal').addEventListener('change', (event) =>
  changeFilter(() => { filter.terminal = event.target.value; filter.offset = 0; }));
document.getElementById('user-search').addEventListener('input', () => {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(searchNow, SEARCH_PAUSE_MS);
});
document.getElementById('page-number').addEventListener('change', goToPage);
// Enter acts at once (a form of several fields is not submitted by Enter).
for (const [id, action] of [['user-search', searchNow], ['page-number', goToPage], ['pin-jump', goToPin]]) {
  document.getElementById(id).addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      action();
    }
  });
}
document.getElementById('user-filter').addEventListener('submit', (event) => event.preventDefault());
document.getElementById('page-prev').addEventListener('click', () =>
  changeFilter(() => { filter.offset = Math.max(0, filter.offset - PAGE_SIZE); }));
document.getElementById('page-next').addEventListener('click', () =>
  changeFilter(() => { if (filter.offset + PAGE_SIZE < matchingUsers) filter.offset += PAGE_SIZE; }));

document.getElementById('reset').addEventListener('click', async () => {
  if (!(await confirmReset())) {
    say('reset cancelled: nothing changed', true);
    return;
  }
  timeline = [];
  filter.terminal = '';
  filter.offset = 0;
  await control('/_sim/reset', 'reset: back to the command line\'s terminals');
});

poll();
