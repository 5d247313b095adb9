// The archive layer's message table (English texts by id, 25102..26899) and
// raising an exception whose message is the text of an id.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/Exception.h"

// Ids the archive component itself uses; every id of the table has a text.
enum TMessageId : int32_t {
  E_INVALIDATTRIBUTE = 25107,
  E_BADHEADER = 25108,
  E_BADBLOCK = 25109,
  E_BROKENCHAIN = 25135,
  E_WRITE = 25136,
  E_CLOSE = 25137,
  E_CRCERROR = 25151,
  E_UNABLETOCREATEDIR = 25153,
  E_NOTACCESSIBLE = 25157,
  E_FILENOTFOUND = 25172,
  E_SIZEDIFFERS = 25173,
  E_FOPEN = 25235,
  E_READERROR = 25236,
  E_INVALIDARCTYPE = 25242,
  E_INVALIDFN = 25243,
  E_BADLOCALHEADER = 25248,
  E_NOHEADER = 25257,
  E_REQUIREDEVENT = 25270,
  E_SEEKERROR = 25292,
  E_UNSUPPORTEDMETHOD = 25326,
  E_UNSUPPORTEDVERSION = 25328,
  E_INVALIDPASSWORD = 26517,
  E_PASSWORDFAILED = 26522,
};

namespace archive {

// The text of a message id; empty for an id the table does not hold.
const std::string& MessageText(int32_t id);

// Raises E_RAISE with the text of the id (and the id itself).
[[noreturn]] void RaiseMessage(int32_t id);

// Raises the given exception class with the text of the id as its message.
template <class ExceptionClass>
[[noreturn]] void RaiseMessageAs(int32_t id) {
  throw ExceptionClass(MessageText(id));
}

}  // namespace archive
