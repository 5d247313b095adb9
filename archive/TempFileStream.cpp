#include "archive/TempFileStream.h"

#include "archive/ArcHelpers.h"
#include "archive/MessageTable.h"

TTempFileStream::TTempFileStream() : fileName_(archive::TempFileName()) {
  if (!Rewrite(fileName_)) {
    DeleteFileA(fileName_.c_str());
    archive::RaiseMessageAs<EFOpenError>(E_FOPEN);
  }
}

TTempFileStream::~TTempFileStream() {
  Close();
  DeleteFileA(fileName_.c_str());
}
