// Stands in for the +D snapshot encoder until it is written; removed then.
#include "snapshot/plusd_snapshot.h"

namespace snapshot {

std::variant<image::DiscFile, DecodeError> encode_plusd_snapshot(const Snapshot&, std::string_view)
{
    return DecodeError{"writing +D snapshot files is not available in this build"};
}

} // namespace snapshot
