#include "cracked_pieces.h"

#include <ostream>

CrackedPieces CrackWith(Cracker cracker, const std::string& url) {
  char scheme[255] = {};
  char host[255] = {};
  char user[255] = {};
  char password[255] = {};
  char path[255] = {};
  char extra[255] = {};
  URL_COMPONENTSA uc = {};
  uc.dwStructSize = sizeof uc;
  uc.lpszScheme = scheme;
  uc.dwSchemeLength = sizeof scheme;
  uc.lpszHostName = host;
  uc.dwHostNameLength = sizeof host;
  uc.lpszUserName = user;
  uc.dwUserNameLength = sizeof user;
  uc.lpszPassword = password;
  uc.dwPasswordLength = sizeof password;
  uc.lpszUrlPath = path;
  uc.dwUrlPathLength = sizeof path;
  uc.lpszExtraInfo = extra;
  uc.dwExtraInfoLength = sizeof extra;

  CrackedPieces pieces;
  SetLastError(0);
  pieces.ok = cracker(url.c_str(), 0, ICU_DECODE, &uc) != FALSE;
  if (!pieces.ok) {
    pieces.error = GetLastError();
    return pieces;
  }
  pieces.scheme = scheme;
  pieces.schemeNumber = static_cast<int>(uc.nScheme);
  pieces.user = user;
  pieces.password = password;
  pieces.host = host;
  pieces.port = uc.nPort;
  pieces.path = path;
  pieces.extra = extra;
  return pieces;
}

std::ostream& operator<<(std::ostream& out, const CrackedPieces& pieces) {
  if (!pieces.ok) return out << "failed with " << pieces.error;
  return out << "scheme=" << pieces.scheme << " (" << pieces.schemeNumber << ") user=" << pieces.user
             << " password=" << pieces.password << " host=" << pieces.host << " port=" << pieces.port
             << " path=" << pieces.path << " extra=" << pieces.extra;
}
