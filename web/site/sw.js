// Keeps the page's files so that it opens offline once loaded. Each build has a worker of its own, named by the
// version and a digest of the module, with a cache of its own filled whole when it installs: a page is answered
// from one build's cache only, so a new kestrel.js never meets an old kestrel.wasm. A new build's worker takes
// over once no page of the old one is open, and then removes the old cache.
'use strict';

const BUILD = '@KESTREL_BUILD@';
const CACHE = 'kestrel-' + BUILD;
const FILES = ['./', 'index.html', 'style.css', 'app.js', 'kestrel.js', 'kestrel.wasm', 'manifest.webmanifest',
  'icon.svg', 'icon-256.png'];

self.addEventListener('install', (event) => {
  // Past the browser's HTTP cache, so that the cache holds this build's files and no older ones.
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES.map((file) =>
    new Request(file, {cache: 'reload'})))));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys().then((names) =>
    Promise.all(names.filter((name) => name !== CACHE).map((name) => caches.delete(name)))));
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET' || new URL(event.request.url).origin !== location.origin) return;
  event.respondWith(caches.open(CACHE).then(async (cache) =>
    (await cache.match(event.request, {ignoreSearch: true})) || fetch(event.request)));
});
