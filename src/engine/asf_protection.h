#pragma once
// Recognises rights-protected ASF (WMA) files by their header.

namespace zv::engine {

// True when the ASF header of the file open on fd carries a content
// encryption object (plain, extended or advanced) or marks a stream as
// encrypted. False for unprotected files and for anything that is not ASF.
bool asfIsProtected(int fd);

} // namespace zv::engine
