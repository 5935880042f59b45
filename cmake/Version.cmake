# The version of every program, the window, kestrel-cli and the web page, written once. The top CMakeLists.txt
# and web/CMakeLists.txt give it to project().
set(KESTREL_VERSION 0.14.0)
