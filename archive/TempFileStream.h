// A read/write file over a new temporary file ("orx" prefix), deleted when
// the stream is destroyed.
#pragma once

#include <string>

#include "archive/ByteFile.h"

class TTempFileStream : public TByteFile {
 public:
  // Raises EFOpenError "Error opening file" when no file can be made.
  TTempFileStream();
  ~TTempFileStream();

  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};
