// Helpers whose failures need a changed environment (POSIX only).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "ArcDirTestSupport.h"
#include "archive/ArcHelpers.h"
#include "archive/TempFileStream.h"
#include "rtl/Exception.h"

using namespace archive;

class ArcHelpersEnv : public arcdir_test::ScratchTest {};

TEST_F(ArcHelpersEnv, TempFileNameFailsInMissingDirectory) {
  const char* previous = std::getenv("TEMP");
  const std::string saved = previous ? previous : "";
  setenv("TEMP", Win("missing\\").c_str(), 1);
  EXPECT_THROW(
      {
        try {
          TempFileName();
        } catch (const EFOpenError& e) {
          EXPECT_EQ(e.Message(), "Error opening file");
          throw;
        }
      },
      EFOpenError);
  EXPECT_THROW(TTempFileStream(), EFOpenError);
  if (previous)
    setenv("TEMP", saved.c_str(), 1);
  else
    unsetenv("TEMP");
}

