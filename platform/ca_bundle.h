#pragma once
// Certificate authorities for https: the system's bundle plus one extra
// authority file (a local test server's, or one the user names). curl takes
// a single bundle, so the two are joined into one PEM text.
#include <string>

namespace kestrelin {

// The system bundle's PEM text followed by `extraCaFile`'s. Empty when
// `extraCaFile` is empty or cannot be read: the caller then leaves curl's
// own default store in place. `systemBundle` empty means the bundle curl
// was built with (or the usual Debian path).
std::string CombinedCaBundle(const std::string& extraCaFile, std::string systemBundle = {});

}  // namespace kestrelin
