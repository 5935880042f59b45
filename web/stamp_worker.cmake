# Writes the service worker into the site with this build's name: the version and a digest of the module's two
# files. Run after every link of the module: cmake -DSOURCE=... -DSITE=... -DVERSION=... -P stamp_worker.cmake
file(SHA256 ${SITE}/kestrel.js js_digest)
file(SHA256 ${SITE}/kestrel.wasm wasm_digest)
string(SHA256 digest "${js_digest}${wasm_digest}")
string(SUBSTRING "${digest}" 0 16 digest)
set(KESTREL_BUILD "${VERSION}-${digest}")
configure_file(${SOURCE} ${SITE}/sw.js @ONLY)
