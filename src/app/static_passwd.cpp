// Stand-ins for the password-database walk, linked only into the static kestrel-cli. libdsk looks for the user's
// home folder (for its optional ~/.libdskrc) in $HOME and, only where that is not set, by walking the password
// database, which a static glibc can do only by loading its shared NSS modules at run time. These end the walk at
// once: without $HOME, libdsk reads no settings file of the user's.
#include <pwd.h>

extern "C" {

passwd* getpwent()
{
    return nullptr;
}

void setpwent() {}

void endpwent() {}
}
