#include "kestrix/Exceptions.h"

#include "kestrix/BaseUtils.h"
#include "kestrix/Consts.h"
#include "kestrix/Text.h"

namespace Kestrix::Exif {

EReadError::EReadError() : EStreamError(Consts::SReadError) {}
EWriteError::EWriteError() : EStreamError(Consts::SWriteError) {}
EFOpenError::EFOpenError(const std::string& path, const std::string& reason)
    : EFileStreamError(Format(Consts::SFOpenErrorEx, path, reason)) {}
EFCreateError::EFCreateError(const std::string& path, const std::string& reason)
    : EFileStreamError(Format(Consts::SFCreateErrorEx, path, reason)) {}
ERangeError::ERangeError() : EIntError(Consts::SRangeError) {}
EListError::EListError(long long index) : Exception(Format(Consts::SListIndexError, index)) {}
EAssertionFailed::EAssertionFailed() : Exception(Consts::SAssertionFailed) {}
EIntfCastError::EIntfCastError() : Exception(Consts::SIntfCastError) {}

ETagAlreadyExists::ETagAlreadyExists(int tagID)
    : EInvalidTiffData(Format(Consts::STagAlreadyExists, tagID)) {}

} // namespace Kestrix::Exif
