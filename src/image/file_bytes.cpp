#include "image/file_bytes.h"

namespace image {

FileBytes::FileBytes(const std::string& path) : m_file(path)
{
    if (!m_file.is_open())
        m_failure = {m_file.failure(),
                     m_file.is_not_regular() ? common::ErrorKind::NotAnImage : common::ErrorKind::Failed};
}

} // namespace image
