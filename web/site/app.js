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
let openedName = ''; // the listed image's name as the user's system gives it
let anchor = -1; // where a selection made with Shift and the arrows started
let selectedBefore = new Set(); // what was selected before that selection started
const tapes = new Map(); // name -> bytes, for "make a disc"
const hostNames = new Set(); // the names of the user's files the module was given
const ADD_FOLDER = '/add';
// The listed disc's states for undo and redo: {name, bytes} as listImage lists them (bytes null: an image inside an
// archive, which stays in the disc folder as it was opened).
let shownState = null;
let collection = []; // the images opened together, as paths in the disc folder
// The user's file the listed image came from, where the browser lets the page write it back (File System Access).
let openedHandle = null;
let history = [];
let future = [];

// The largest file the page reads: more than any disc image, gzipped image or zip archive of images needs.
const MAX_FILE_BYTES = 256 * 1024 * 1024;

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

// The module's texts carry the names of the user's files as their UTF-8 bytes, a character a byte, as they carry
// disc names. The names the page gave it are put back as the user's system shows them; disc bytes stay as they are.
function hostShown(text) {
  let out = shown(text);
  for (const name of hostNames) {
    const bytes = String.fromCharCode(...new TextEncoder().encode(name));
    if (bytes !== name) out = out.split(bytes).join(name);
  }
  return out;
}

function status(text) {
  $('status').textContent = text;
}

function call(name, ...args) {
  return JSON.parse(kestrel[name](...args));
}

// A call on files named as the user's are, in the folder the module reads them from; the module's working folder
// is the disc folder again whatever the call does, so that later images are found.
function callIn(folder, name, ...args) {
  kestrel.FS.chdir(folder);
  try {
    return call(name, ...args);
  } finally {
    kestrel.FS.chdir(DISC_FOLDER);
  }
}

// Fills `list` with a button for each name, which calls `choose` with it.
function fillButtons(list, names, choose) {
  list.replaceChildren(...names.map((name) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = hostShown(name);
    button.addEventListener('click', () => choose(name));
    item.append(button);
    return item;
  }));
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
    if (entry === '.' || entry === '..') continue;
    const path = folder + '/' + entry;
    if (kestrel.FS.isDir(kestrel.FS.stat(path).mode)) {
      clearFolder(path);
      kestrel.FS.rmdir(path);
    } else {
      kestrel.FS.unlink(path);
    }
  }
}

// ---- Opening an image ----

async function openFile(file, handle = null) {
  openedHandle = handle;
  $('collection').hidden = true;
  if (file.size > MAX_FILE_BYTES) {
    $('choose-image').hidden = true;
    refuse(file.name + ': ' + file.size.toLocaleString('en') + ' bytes: too large for a disc image or an archive of ' +
      'them');
    return;
  }
  const bytes = new Uint8Array(await file.arrayBuffer());
  // The images of an archive opened before are offered until another file is opened.
  $('choose-image').hidden = true;
  clearFolder(DISC_FOLDER);
  hostNames.clear();
  hostNames.add(file.name);
  kestrel.FS.writeFile(DISC_FOLDER + '/' + file.name, bytes);
  history = [];
  future = [];
  shownState = {name: file.name, bytes};
  listImage(file.name);
}

// Several images, or the images of a folder: each is written to the disc folder under its path in the folder
// chosen, listed as a button that opens it in the catalogue, and searched with find's rules.
async function openMany(files) {
  openedHandle = null;
  const images = files.filter((file) => kestrel.isImageName(file.name) && file.size <= MAX_FILE_BYTES);
  if (images.length === 1 && files.length === 1) return openFile(images[0]);
  $('choose-image').hidden = true;
  clearFolder(DISC_FOLDER);
  hostNames.clear();
  collection = [];
  for (const file of images) {
    const name = file.webkitRelativePath || file.name;
    let folder = DISC_FOLDER;
    for (const part of name.split('/').slice(0, -1)) {
      folder += '/' + part;
      if (!kestrel.FS.analyzePath(folder).exists) kestrel.FS.mkdir(folder);
      hostNames.add(part);
    }
    kestrel.FS.writeFile(DISC_FOLDER + '/' + name, new Uint8Array(await file.arrayBuffer()));
    hostNames.add(file.name);
    collection.push(name);
  }
  $('collection-title').textContent = collection.length + (collection.length === 1 ? ' image' : ' images') + ' of ' +
    files.length + (files.length === 1 ? ' file' : ' files');
  fillButtons($('collection-list'), collection, openCollected);
  $('collection').hidden = false;
  refuse(collection.length > 0 ? collection.length + ' images: choose one, or find files across them.'
    : 'None of the ' + files.length + ' files is a disc image.');
  if (collection.length > 0) findFiles();
}

// An image of the list, or of an archive of several, opened in the catalogue as if opened alone.
function openCollected(name) {
  history = [];
  future = [];
  shownState = {name, bytes: null};
  listImage(name);
}

function findFiles() {
  const types = $('find-types').value.trim().replace(/\s*,\s*/g, ',');
  const answer = call('findFiles', $('find-pattern').value || '*', types, collection.join('\n'));
  const body = document.querySelector('#hits tbody');
  if (!answer.ok) {
    body.replaceChildren();
    return status(hostShown(answer.status));
  }
  body.replaceChildren(...answer.hits.map((hit) => {
    const tr = document.createElement('tr');
    const cells = hit.split('\t');
    for (const [index, cell] of cells.entries()) {
      const td = document.createElement('td');
      if (index === 0) {
        const button = document.createElement('button');
        button.type = 'button';
        button.textContent = hostShown(cell);
        button.addEventListener('click', () => openCollected(cell));
        td.append(button);
      } else {
        td.textContent = index === 2 ? shown(cell) : cell;
      }
      tr.append(td);
    }
    return tr;
  }));
  $('find-count').textContent = answer.hits.length + (answer.hits.length === 1 ? ' file found' : ' files found') +
    (answer.unread.length > 0 ? '; not read: ' + answer.unread.map(hostShown).join('; ') : '');
}

// What a file that lists nothing leaves: no catalogue of another image, no viewer, the reason in the status.
function refuse(text, messages = []) {
  listing = null;
  selected.clear();
  current = -1;
  $('listing').hidden = true;
  $('viewer').hidden = true;
  $('messages').textContent = messages.map(hostShown).join('\n');
  status(text);
  updateButtons();
}

// An archive of several images: a button for each, which lists ARCHIVE/NAME.
function offerChoice(archive, names) {
  fillButtons($('image-choices'), names, (name) => openCollected(archive + '/' + name));
  $('choose-image').hidden = false;
  $('image-choices').querySelector('button').focus();
}

// Lists the image at `name` in the page's disc folder (an archive's image as ARCHIVE/NAME).
function listImage(name) {
  const started = performance.now();
  const answer = call('listImage', name);
  if (answer.choice) {
    refuse(hostShown(name) + ' holds ' + answer.choice.length + ' disc images: choose one.');
    $('choose-image-title').textContent = 'Images in ' + hostShown(name);
    offerChoice(name, answer.choice);
    return;
  }
  if (!answer.ok) {
    refuse(hostShown(answer.status), answer.scan);
    return;
  }
  listing = answer;
  openedName = name.slice(name.lastIndexOf('/') + 1);
  selected.clear();
  anchor = -1;
  current = listing.rows.length > 0 ? 0 : -1;
  fillTable();
  const elapsed = performance.now() - started;
  $('messages').textContent = [...listing.notes, ...listing.findings, ...listing.scan].map(hostShown).join('\n');
  $('image-name').textContent = hostShown(name);
  $('timing').textContent = '(listed in ' + elapsed.toFixed(1) + ' ms)';
  $('timing').dataset.ms = elapsed.toFixed(3);
  $('listing').hidden = false;
  $('viewer').hidden = true;
  $('convert').hidden = !listing.convertible;
  $('edited').textContent = history.length > 0 ? '(edited: ' + history.length + (history.length === 1 ? ' change' :
    ' changes') + ', not saved until downloaded)' : '';
  status(hostShown(listing.status) || hostShown(openedName) + ': ' + listing.rows.length + ' files');
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
  if (previous) {
    previous.tabIndex = -1;
    previous.removeAttribute('aria-current');
  }
  current = index;
  const tr = rowElement(index);
  if (!tr) return;
  tr.tabIndex = 0;
  // The current row stays marked when the focus is elsewhere: the buttons act on it.
  tr.setAttribute('aria-current', 'true');
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

function selectRange(from, to) {
  const [low, high] = from < to ? [from, to] : [to, from];
  listing.rows.forEach((_, index) => {
    const on = selectedBefore.has(index) || (index >= low && index <= high);
    if (on) selected.add(index);
    else selected.delete(index);
    rowElement(index).setAttribute('aria-selected', String(on));
  });
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
  $('remove').disabled = !row;
  $('rename').disabled = !row;
  $('hidden').disabled = !row;
  $('protected').disabled = !row;
  $('undo').disabled = history.length === 0;
  $('redo').disabled = future.length === 0;
  $('download-edited').disabled = history.length === 0;
  // Only a plain image is written back, as the desktop program edits only those in place.
  const plain = openedHandle && shownState && shownState.name === openedHandle.name && /\.(mgt|dsk|img)$/i.test(shownState.name);
  $('save-back').hidden = !plain;
  $('save-back').disabled = history.length === 0;
  $('snap-z80').disabled = !row || !row.snapshot;
  $('snap-sna').disabled = !row || !row.snapshot;
  $('tape').disabled = !listing || !listing.rows.some((file) => file.tape);
  $('tape').title = listing && listing.rows.length > 0 && $('tape').disabled
    ? (listing.rows.every((file) => file.sam) ? 'SAM files have no tape form' : 'No file here has a tape form') : '';
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
    if (event.shiftKey && anchor < 0) {
      anchor = current;
      selectedBefore = new Set(selected);
    } else if (!event.shiftKey) {
      anchor = -1;
    }
    focusRow(Math.max(0, Math.min(last, moves[event.key])));
    // Shift with a move selects the rows from where it started to the current one: moving back shrinks it.
    if (event.shiftKey) selectRange(anchor, current);
  } else if (event.key === 'Escape') {
    anchor = -1;
    for (const index of [...selected]) toggleRow(index);
  } else if (event.key === ' ') {
    toggleRow(current);
  } else if (event.key === 'Enter') {
    openCurrent();
  } else if (event.key === 'Delete') {
    removeFiles();
  } else if (event.key === 'F2') {
    renameFile();
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
  anchor = -1;
  focusRow(index);
  toggleRow(index, !(event.ctrlKey || event.metaKey));
}

// ---- What a file shows and what it makes ----

function openCurrent() {
  const row = currentRow();
  if (row && row.screen) viewScreen();
  else if (row && row.basic) listBasic();
}

function closeViewer() {
  $('viewer').hidden = true;
  const tr = rowElement(current);
  if (tr) tr.focus();
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
  if (!answer.ok) return status(hostShown(answer.status));
  const pixels = kestrel.output();
  const canvas = $('screen');
  canvas.width = answer.width;
  canvas.height = answer.height;
  // Shown twice as high; a SAM mode 3 picture (512 wide) at its own width, the others twice as wide.
  // The width may shrink to fit a narrow screen; the height follows it, so the picture keeps its shape.
  const width = answer.width > 256 ? answer.width : answer.width * 2;
  canvas.style.width = width + 'px';
  canvas.style.aspectRatio = width + ' / ' + answer.height * 2;
  canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(pixels.buffer), answer.width,
    answer.height), 0, 0);
  screenName = fileName(row.cells[0], '.png');
  showViewer(shown(row.cells[0]).trim() + ' - screen', true);
  status(hostShown(answer.status));
  $('png').focus();
}

function listBasic() {
  const row = currentRow();
  const answer = call('listBasic', row.slot, $('rewrite').checked);
  if (!answer.ok) return status(hostShown(answer.status));
  $('basic').textContent = answer.lines.map(shown).join('\n');
  showViewer(shown(answer.title) + (answer.rewritten ? ' (the loader as the tape holds it)' : ''), false);
  status(answer.messages.map(hostShown).join('; '));
  $('basic').focus();
}

function makeTape() {
  const chosen = selected.size > 0 ? [...selected].sort((a, b) => a - b).map((index) => listing.rows[index])
    : listing.rows;
  // Nothing to put on a tape: no tape is made, and the status says why, in the desktop window's words.
  if (!chosen.some((file) => file.tape)) {
    const count = '0 of ' + chosen.length + ' files: ';
    return status(count + (chosen.every((file) => file.sam) ? 'SAM files have no tape form'
      : 'none of them has a tape form'));
  }
  const slots = selected.size > 0 ? chosen.map((file) => file.slot) : [];
  clearFolder(OUT_FOLDER);
  const tapeName = openedName.replace(/\.[^.]*$/, '') + '.tap';
  const answer = call('makeTape', slots.join(','), $('rewrite').checked, OUT_FOLDER + '/' + tapeName);
  const lines = [...answer.lines, ...answer.messages].map(hostShown);
  if (answer.ok) {
    download(kestrel.output(), tapeName);
    lines.push(tapeName + ': ' + answer.written + (answer.written === 1 ? ' file' : ' files') + ' on the tape');
  }
  // The tape's lines go below the check's, which stay.
  const check = [...listing.notes, ...listing.findings, ...listing.scan].map(hostShown);
  $('messages').textContent = [...check, ...lines].join('\n');
  status(answer.ok ? tapeName + ' made' : 'No tape made: ' + hostShown(answer.writeFailure || lines.join('; ')));
}

function convertImage() {
  const answer = call('convertImage');
  if (!answer.ok) return status(hostShown(answer.status));
  const name = openedName.replace(/(\.(gz|zip|dsk|sad|mgt|img))+$/i, '') + answer.extension;
  download(kestrel.output(), name);
  status(name + ' made' + (answer.messages.length > 0 ? ': ' + answer.messages.map(hostShown).join('; ') : ''));
}

function saveFile(name, extension, ...args) {
  const row = currentRow();
  const answer = call(name, row.slot, ...args);
  if (answer.ok) download(kestrel.output(), fileName(row.cells[0], extension));
  status(hostShown(answer.status));
}

// ---- Editing ----

// The rows an edit of several files acts on: the selected ones, or the current one when none is selected.
function chosenRows() {
  const indexes = selected.size > 0 ? [...selected].sort((a, b) => a - b) : [current];
  return indexes.map((index) => listing.rows[index]).filter(Boolean);
}

// Lists a state of the disc: its bytes written where listImage reads them.
function showState(state) {
  shownState = state;
  if (state.bytes) kestrel.FS.writeFile(DISC_FOLDER + '/' + state.name, state.bytes);
  listImage(state.name);
}

// An edit's answer: the edited disc becomes the listed one, the one before it goes on the undo stack.
function edited(answer) {
  if (!answer.ok) return status(hostShown(answer.status));
  const previous = shownState;
  const base = shownState.name.slice(shownState.name.lastIndexOf('/') + 1).replace(/(\.(gz|zip|dsk|sad|mgt|img))+$/i,
    '');
  const name = /\.(mgt|img|dsk)$/i.test(shownState.name) && !shownState.name.includes('/') ? shownState.name
    : base + answer.extension;
  history.push(previous);
  future = [];
  hostNames.add(name);
  showState({name, bytes: kestrel.output()});
  // The changed files are selected, the first of them current, as the window selects them.
  const changed = answer.changed.map(Number);
  const indexes = listing.rows.flatMap((row, index) => changed.includes(row.slot) ? [index] : []);
  for (const index of indexes) toggleRow(index);
  if (indexes.length > 0) focusRow(indexes[0]);
  const lines = [...answer.lines, ...(answer.notes || [])].map(hostShown);
  $('messages').textContent = lines.join('\n');
  status(lines[0] + (lines.length > 1 ? ' (and ' + (lines.length - 1) + ' more: see Messages)' : ''));
}

function removeFiles() {
  const rows = chosenRows();
  if (rows.length === 0) return;
  const names = rows.map((row) => shown(row.cells[0]).trim()).join(', ');
  const locked = rows.filter((row) => row.protected);
  const question = locked.length > 0
    ? 'Remove ' + names + ' from the disc? ' + locked.length + ' of them ' + (locked.length === 1 ? 'is' : 'are') +
      ' protected.' : 'Remove ' + names + ' from the disc?';
  if (!confirm(question)) return status('Nothing removed');
  edited(call('removeFiles', rows.map((row) => row.slot).join(','), locked.length > 0));
}

function renameFile() {
  const row = currentRow();
  if (!row) return;
  const typed = prompt('New name for ' + shown(row.cells[0]).trim() + ' (at most 10 characters):',
    shown(row.cells[0]).trim());
  if (typed === null) return status('Nothing renamed');
  // Disc names are bytes: a character beyond Latin-1 has no byte.
  const codes = [...typed].map((c) => c.codePointAt(0));
  if (codes.some((code) => code > 0xFF)) return status('Nothing renamed: ' + typed + ' has characters a disc name cannot hold');
  if (row.protected && !confirm(shown(row.cells[0]).trim() + ' is protected. Rename it all the same?'))
    return status('Nothing renamed');
  edited(call('renameFile', row.slot, codes, row.protected));
}

function toggleFlag(which) {
  const row = currentRow();
  if (!row) return;
  const change = row[which] ? -1 : 1;
  edited(call('setFlags', row.slot, which === 'hidden' ? change : 0, which === 'protected' ? change : 0));
}

async function addFiles(files) {
  if (!listing || files.length === 0) return;
  clearFolder(ADD_FOLDER);
  const start = $('add-start').value.trim();
  if (start !== '' && !/^\d+$/.test(start)) return status('Nothing added: the start address ' + start + ' is not a number');
  for (const file of files) {
    kestrel.FS.writeFile(ADD_FOLDER + '/' + file.name, new Uint8Array(await file.arrayBuffer()));
    hostNames.add(file.name);
  }
  edited(callIn(ADD_FOLDER, 'addFiles', files.map((file) => file.name).join('\n'), $('add-sam').checked,
    start === '' ? -1 : Number(start)));
}

function undo() {
  if (history.length === 0) return;
  future.push(shownState);
  showState(history.pop());
  status('Undone');
}

function redo() {
  if (future.length === 0) return;
  history.push(shownState);
  showState(future.pop());
  status('Redone');
}

// The edited disc written over the user's file, after asking.
async function saveBack() {
  const name = openedHandle.name;
  if (!confirm('Write the edited disc over ' + name + ' on this computer? The disc as it was is not kept.'))
    return status('Nothing saved');
  try {
    const writable = await openedHandle.createWritable();
    await writable.write(kestrel.FS.readFile(DISC_FOLDER + '/' + shownState.name));
    await writable.close();
    status(name + ' saved');
  } catch (error) {
    status(name + ' not saved: ' + error.message);
  }
}

function downloadEdited() {
  const name = shownState.name.slice(shownState.name.lastIndexOf('/') + 1);
  download(kestrel.FS.readFile(DISC_FOLDER + '/' + shownState.name), name);
  status(name + ' downloaded');
}

// ---- Making a disc ----

async function addTapes(files) {
  for (const file of files) {
    tapes.set(file.name, new Uint8Array(await file.arrayBuffer()));
    hostNames.add(file.name);
  }
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
  // A name without an extension gets .mgt, as the desktop program's save requesters add one.
  let discName = $('disc-name').value.trim() || 'new.mgt';
  if (!/\.[^./\\]+$/.test(discName)) discName += '.mgt';
  hostNames.add(discName);
  const answer = callIn(TAPE_FOLDER, 'makeDisc', paths.join('\n'), discName);
  const made = $('made');
  made.hidden = false;
  made.textContent = [...(answer.lines || []), ...(answer.placed || [])].map(hostShown).join('\n');
  if (answer.ok) download(kestrel.output(), discName);
  status(answer.ok ? discName + ' made' : 'No disc made: ' + hostShown(answer.status));
}

// ---- Start ----

function onDrop(event) {
  event.preventDefault();
  const files = [...event.dataTransfer.files];
  // Files dropped on a listed disc's catalogue go onto that disc, as in the desktop window.
  if (listing && event.target.closest && event.target.closest('#listing')) {
    addFiles(files);
    return;
  }
  const tapeFiles = files.filter((file) => kestrel.isTapeName(file.name));
  if (tapeFiles.length > 0) addTapes(tapeFiles);
  const images = files.filter((file) => !kestrel.isTapeName(file.name));
  if (images.length > 0) openMany(images);
}

async function start() {
  kestrel = await createKestrel();
  for (const folder of [DISC_FOLDER, TAPE_FOLDER, OUT_FOLDER, ADD_FOLDER]) kestrel.FS.mkdir(folder);
  kestrel.FS.chdir(DISC_FOLDER);
  $('version').textContent = kestrel.version();
  // The choosers take what the module reads, as its tables of image and tape kinds name them.
  for (const id of ['image-input', 'images-input']) $(id).accept = kestrel.accepted('images');
  $('tape-input').accept = kestrel.accepted('tapes');
  $('image-input').addEventListener('change', (event) => {
    if (event.target.files.length > 0) openFile(event.target.files[0]);
    event.target.value = '';
  });
  for (const id of ['images-input', 'folder-input']) {
    $(id).addEventListener('change', (event) => {
      openMany([...event.target.files]);
      event.target.value = '';
    });
  }
  $('find').addEventListener('submit', (event) => {
    event.preventDefault();
    findFiles();
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
    $('made').textContent = '';
    $('made').hidden = true;
    addTapes([]);
  });
  $('convert').addEventListener('click', convertImage);
  $('remove').addEventListener('click', removeFiles);
  $('rename').addEventListener('click', renameFile);
  $('hidden').addEventListener('click', () => toggleFlag('hidden'));
  $('protected').addEventListener('click', () => toggleFlag('protected'));
  $('undo').addEventListener('click', undo);
  $('redo').addEventListener('click', redo);
  $('download-edited').addEventListener('click', downloadEdited);
  $('save-back').addEventListener('click', saveBack);
  // Where the browser can write files back, the image is chosen through its file picker, which gives the page
  // leave to write the file after asking.
  if ('showOpenFilePicker' in window) {
    document.querySelector('label[for=image-input]').addEventListener('click', async (event) => {
      event.preventDefault();
      try {
        const [handle] = await window.showOpenFilePicker({id: 'kestrel-image'});
        openFile(await handle.getFile(), handle);
      } catch (error) {
        if (error.name !== 'AbortError') status('The file could not be opened: ' + error.message);
      }
    });
  }
  $('add-input').addEventListener('change', (event) => {
    addFiles([...event.target.files]);
    event.target.value = '';
  });
  document.addEventListener('keydown', (event) => {
    if (!(event.ctrlKey || event.metaKey) || event.target.matches('input[type=text]')) return;
    const key = event.key.toLowerCase();
    if (key === 'z' && !event.shiftKey) undo();
    else if ((key === 'z' && event.shiftKey) || key === 'y') redo();
    else return;
    event.preventDefault();
  });
  $('viewer').addEventListener('keydown', (event) => {
    if (event.key !== 'Escape') return;
    closeViewer();
    event.preventDefault();
  });
  $('close-viewer').addEventListener('click', closeViewer);
  document.body.dataset.ready = 'true';
  status('Ready: choose or drop a disc image.');
  if ('serviceWorker' in navigator && location.protocol !== 'file:') {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
}

start();
