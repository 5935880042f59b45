// Kestrel's web page: reads the files the user gives into the module's in-memory file system, asks the core
// (kestrel.wasm, through kestrel.js) what the desktop program would show, and offers what it makes as downloads.
// Everything about the formats is the core's; this file only moves bytes and draws what it is given.
'use strict';

const $ = (id) => document.getElementById(id);
const DISC_FOLDER = '/disc';
const TAPE_FOLDER = '/tapes';
const OUT_FOLDER = '/out';

let kestrel = null;
let listing = null; // what listImage answered for the listed image
let current = -1; // index of the row with the focus
const selected = new Set(); // indexes of the selected rows
let screenName = '';
const tapes = new Map(); // name -> bytes, for "make a disc"

// A disc's bytes as the page shows them: each byte is a character of that code; control codes are written as the
// desktop window writes them (\t, \n, \r, \xNN).
function shown(text) {
  return text.replace(/[\x00-\x1f\x7f]/g, (c) => {
    const code = c.charCodeAt(0);
    if (c === '\t') return '\\t';
    if (c === '\n') return '\\n';
    if (c === '\r') return '\\r';
    return '\\x' + code.toString(16).toUpperCase().padStart(2, '0');
  });
}

function status(text) {
  $('status').textContent = text;
}

function call(name, ...args) {
  return JSON.parse(kestrel[name](...args));
}

// A name for a downloaded file made from a disc name: what the file systems of Windows and macOS refuse is
// replaced by '_'.
function fileName(discName, extension) {
  const name = shown(discName).trim().replace(/[\\/:*?"<>|]/g, '_') || 'file';
  return name + extension;
}

function download(bytes, name, type = 'application/octet-stream') {
  const url = URL.createObjectURL(bytes instanceof Blob ? bytes : new Blob([bytes], {type}));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
}

function clearFolder(folder) {
  for (const entry of kestrel.FS.readdir(folder)) {
    if (entry !== '.' && entry !== '..') kestrel.FS.unlink(folder + '/' + entry);
  }
}

// ---- Opening an image ----

function isTapeName(name) {
  return /\.(tap|tzx)$/i.test(name);
}

async function openFile(file) {
  let name = file.name;
  let bytes = new Uint8Array(await file.arrayBuffer());
  if (/\.zip$/i.test(name)) {
    status(name + ': zip archives open in the desktop program; unpack the image from it and open that here.');
    return;
  }
  if (/\.gz$/i.test(name)) {
    // The browser unpacks gzip itself; the image inside is named without the .gz.
    try {
      const stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
      bytes = new Uint8Array(await new Response(stream).arrayBuffer());
    } catch (error) {
      status(name + ': the gzip data is damaged (' + error.message + ')');
      return;
    }
    name = name.slice(0, -3);
  }
  listImage(name, bytes);
}

function listImage(name, bytes) {
  const started = performance.now();
  clearFolder(DISC_FOLDER);
  kestrel.FS.writeFile(DISC_FOLDER + '/' + name, bytes);
  listing = call('listImage', name);
  selected.clear();
  current = listing.ok && listing.rows.length > 0 ? 0 : -1;
  fillTable();
  const elapsed = performance.now() - started;
  const messages = listing.ok ? [...listing.notes, ...listing.findings, ...listing.scan] : listing.scan;
  $('messages').textContent = messages.map(shown).join('\n');
  $('image-name').textContent = shown(name);
  $('timing').textContent = '(listed in ' + elapsed.toFixed(1) + ' ms)';
  $('timing').dataset.ms = elapsed.toFixed(3);
  $('listing').hidden = false;
  $('viewer').hidden = true;
  status(shown(listing.status) || (listing.ok ? shown(name) + ': ' + listing.rows.length + ' files' : ''));
  updateButtons();
  if (current >= 0) focusRow(0);
}

// ---- The catalogue ----

function fillTable() {
  const body = document.querySelector('#catalogue tbody');
  const rows = [];
  for (const [index, row] of (listing.ok ? listing.rows : []).entries()) {
    const tr = document.createElement('tr');
    tr.dataset.index = index;
    tr.tabIndex = -1;
    tr.setAttribute('aria-selected', 'false');
    if (row.note) tr.title = shown(row.note);
    for (const cell of row.cells) {
      const td = document.createElement('td');
      td.textContent = shown(cell);
      tr.append(td);
    }
    rows.push(tr);
  }
  body.replaceChildren(...rows);
}

function rowElement(index) {
  return document.querySelector('#catalogue tbody').children[index];
}

function focusRow(index) {
  const previous = rowElement(current);
  if (previous) previous.tabIndex = -1;
  current = index;
  const tr = rowElement(index);
  if (!tr) return;
  tr.tabIndex = 0;
  tr.focus();
  updateButtons();
}

function toggleRow(index, only = false) {
  if (only) {
    for (const other of selected) rowElement(other).setAttribute('aria-selected', 'false');
    selected.clear();
  }
  if (selected.has(index)) selected.delete(index);
  else selected.add(index);
  rowElement(index).setAttribute('aria-selected', String(selected.has(index)));
  updateButtons();
}

function selectAll() {
  listing.rows.forEach((_, index) => {
    selected.add(index);
    rowElement(index).setAttribute('aria-selected', 'true');
  });
  updateButtons();
}

function currentRow() {
  return listing && listing.ok && current >= 0 ? listing.rows[current] : null;
}

function updateButtons() {
  const row = currentRow();
  $('view-screen').disabled = !row || !row.screen;
  $('list-basic').disabled = !row || !row.basic;
  $('export').disabled = !row || !row.export;
  $('snap-z80').disabled = !row || !row.snapshot;
  $('snap-sna').disabled = !row || !row.snapshot;
  $('tape').disabled = !listing || !listing.ok || listing.rows.length === 0;
  const count = selected.size;
  $('selection').textContent = count === 0 ? 'No file selected: the tape holds every file.'
    : count + (count === 1 ? ' file' : ' files') + ' selected.';
}

function onTableKey(event) {
  if (!listing || !listing.ok || listing.rows.length === 0) return;
  const last = listing.rows.length - 1;
  const moves = {ArrowDown: current + 1, ArrowUp: current - 1, Home: 0, End: last, PageDown: current + 10,
    PageUp: current - 10};
  if (event.key in moves) {
    focusRow(Math.max(0, Math.min(last, moves[event.key])));
    // Shift with a move selects the rows it passes over.
    if (event.shiftKey && !selected.has(current)) toggleRow(current);
  } else if (event.key === 'Escape') {
    for (const index of [...selected]) toggleRow(index);
  } else if (event.key === ' ') {
    toggleRow(current);
  } else if (event.key === 'Enter') {
    openCurrent();
  } else if (event.key === 'a' && (event.ctrlKey || event.metaKey)) {
    selectAll();
  } else {
    return;
  }
  event.preventDefault();
}

function onTableClick(event) {
  const tr = event.target.closest('tr[data-index]');
  if (!tr) return;
  const index = Number(tr.dataset.index);
  focusRow(index);
  toggleRow(index, !(event.ctrlKey || event.metaKey));
}

// ---- What a file shows and what it makes ----

function openCurrent() {
  const row = currentRow();
  if (row && row.screen) viewScreen();
  else if (row && row.basic) listBasic();
}

function showViewer(title, screen) {
  $('view-title').textContent = title;
  $('viewer').hidden = false;
  $('screen-box').hidden = !screen;
  $('basic').hidden = screen;
  $('viewer').scrollIntoView({block: 'nearest'});
}

function viewScreen() {
  const row = currentRow();
  const answer = call('viewScreen', row.slot);
  if (!answer.ok) return status(shown(answer.status));
  const pixels = kestrel.output();
  const canvas = $('screen');
  canvas.width = answer.width;
  canvas.height = answer.height;
  // Shown twice as high; a SAM mode 3 picture (512 wide) at its own width, the others twice as wide.
  canvas.style.width = (answer.width > 256 ? answer.width : answer.width * 2) + 'px';
  canvas.style.height = answer.height * 2 + 'px';
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(pixels.buffer), answer.width,
    answer.height), 0, 0);
  screenName = fileName(row.cells[0], '.png');
  showViewer(shown(row.cells[0]).trim() + ' - screen', true);
  status(shown(answer.status));
  $('png').focus();
}

function listBasic() {
  const row = currentRow();
  const answer = call('listBasic', row.slot, $('rewrite').checked);
  if (!answer.ok) return status(shown(answer.status));
  $('basic').textContent = answer.lines.map(shown).join('\n');
  showViewer(shown(answer.title), false);
  status(answer.messages.map(shown).join('; '));
  $('basic').focus();
}

function makeTape() {
  const slots = [...selected].sort((a, b) => a - b).map((index) => listing.rows[index].slot);
  clearFolder(OUT_FOLDER);
  const tapeName = listing.name.replace(/\.[^.]*$/, '') + '.tap';
  const answer = call('makeTape', slots.join(','), $('rewrite').checked, OUT_FOLDER + '/' + tapeName);
  const lines = [...answer.lines, ...answer.messages].map(shown);
  if (answer.ok) {
    download(kestrel.output(), tapeName);
    lines.push(tapeName + ': ' + answer.written + (answer.written === 1 ? ' file' : ' files') + ' on the tape');
  }
  $('messages').textContent = lines.join('\n');
  status(answer.ok ? tapeName + ' made' : 'No tape made: ' + shown(answer.writeFailure || lines.join('; ')));
}

function saveFile(name, extension, ...args) {
  const row = currentRow();
  const answer = call(name, row.slot, ...args);
  if (answer.ok) download(kestrel.output(), fileName(row.cells[0], extension));
  status(shown(answer.status));
}

// ---- Making a disc ----

async function addTapes(files) {
  for (const file of files) tapes.set(file.name, new Uint8Array(await file.arrayBuffer()));
  const list = $('tapes');
  list.replaceChildren(...[...tapes.keys()].map((name) => {
    const item = document.createElement('li');
    item.textContent = name;
    return item;
  }));
  $('make').disabled = tapes.size === 0;
  $('clear-tapes').disabled = tapes.size === 0;
  status(tapes.size + (tapes.size === 1 ? ' tape' : ' tapes') + ' ready for a new disc');
}

function makeDisc() {
  clearFolder(TAPE_FOLDER);
  const paths = [];
  for (const [name, bytes] of tapes) {
    kestrel.FS.writeFile(TAPE_FOLDER + '/' + name, bytes);
    paths.push(name);
  }
  kestrel.FS.chdir(TAPE_FOLDER);
  const discName = $('disc-name').value.trim() || 'new.mgt';
  const answer = call('makeDisc', paths.join('\n'), discName);
  kestrel.FS.chdir(DISC_FOLDER);
  const made = $('made');
  made.hidden = false;
  made.textContent = [...answer.lines, ...(answer.placed || [])].map(shown).join('\n');
  if (answer.ok) download(kestrel.output(), discName);
  status(answer.ok ? discName + ' made' : shown(answer.status));
}

// ---- Start ----

function onDrop(event) {
  event.preventDefault();
  const files = [...event.dataTransfer.files];
  const tapeFiles = files.filter((file) => isTapeName(file.name));
  if (tapeFiles.length > 0) addTapes(tapeFiles);
  const image = files.find((file) => !isTapeName(file.name));
  if (image) openFile(image);
}

async function start() {
  kestrel = await createKestrel();
  for (const folder of [DISC_FOLDER, TAPE_FOLDER, OUT_FOLDER]) kestrel.FS.mkdir(folder);
  kestrel.FS.chdir(DISC_FOLDER);
  $('version').textContent = kestrel.version();
  $('image-input').addEventListener('change', (event) => {
    if (event.target.files.length > 0) openFile(event.target.files[0]);
    event.target.value = '';
  });
  $('tape-input').addEventListener('change', (event) => {
    addTapes([...event.target.files]);
    event.target.value = '';
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', onDrop);
  const table = $('catalogue');
  table.addEventListener('keydown', onTableKey);
  table.addEventListener('click', onTableClick);
  table.addEventListener('dblclick', openCurrent);
  $('tape').addEventListener('click', makeTape);
  $('view-screen').addEventListener('click', viewScreen);
  $('list-basic').addEventListener('click', listBasic);
  $('export').addEventListener('click', () => saveFile('exportFile', ''));
  $('snap-z80').addEventListener('click', () => saveFile('saveSnapshot', '.z80', 'z80'));
  $('snap-sna').addEventListener('click', () => saveFile('saveSnapshot', '.sna', 'sna'));
  $('png').addEventListener('click', () => $('screen').toBlob((blob) => download(blob, screenName), 'image/png'));
  $('make').addEventListener('click', makeDisc);
  $('clear-tapes').addEventListener('click', () => {
    tapes.clear();
    addTapes([]);
  });
  document.body.dataset.ready = 'true';
  status('Ready: choose or drop a disc image.');
  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
}

start();
