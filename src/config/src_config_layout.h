// The published 32-bit layout of the two shared structures, reached from outside the configuration only
// through this friend: the layout's own static asserts, and the offsets by name for the tests that hold the
// plug-in kit's header to the library's declarations. Reading an offset writes nothing.
#pragma once

#include <cstddef>
#include <string_view>

struct SrcConfigLayout {
  // The offset of "CSrcConfig.m_cs" or "CSrcConnection.m_nPort"; SIZE_MAX for a name of neither.
  static size_t OffsetOf(std::string_view qualifiedField);
};
