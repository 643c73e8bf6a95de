#include "http/cookie.h"

#include <utility>

#include "base/ascii.h"

namespace vantrel {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  std::size_t start = 0;
  std::size_t end = text.size();
  while (start < end && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return text.substr(start, end - start);
}

}  // namespace

std::string Cookie::CookieText() const {
  std::string text;
  text.reserve(Name.size() + Value.size() + Domain.size() + Path.size() + Comment.size() + 64);
  text.append(Name).append("=").append(Value);
  if (!Domain.empty()) text.append("; Domain=").append(Domain);
  text.append("; Version=\"1\"");
  if (!Path.empty()) text.append("; Path=").append(Path);
  if (MaxAge >= 0) text.append("; Max-Age=").append(std::to_string(MaxAge));
  if (!Comment.empty()) text.append("; Comment=").append(Comment);
  if (Secure) text.append("; Secure");
  if (HttpOnly) text.append("; HttpOnly");
  if (!SameSite.empty()) text.append("; SameSite=").append(SameSite);
  return text;
}

Cookie& CookieCollection::Add() { return cookies_.emplace_back(); }

Cookie& CookieCollection::Add(std::string name, std::string value) {
  Cookie& cookie = cookies_.emplace_back();
  cookie.Name = std::move(name);
  cookie.Value = std::move(value);
  return cookie;
}

int CookieCollection::IndexOf(std::string_view name, int from) const {
  int index = 0;
  for (const Cookie& cookie : cookies_) {
    if (index >= from && EqualsIgnoreCase(cookie.Name, name)) return index;
    ++index;
  }
  return -1;
}

void CookieCollection::AddCookieHeader(std::string_view text) {
  Cookie* added = nullptr;  // The last cookie added from this header.
  std::size_t p = 0;
  while (p < text.size()) {
    const std::size_t equals = text.find('=', p);
    if (equals == std::string_view::npos) return;
    const std::string_view name = TrimBlanks(text.substr(p, equals - p));
    p = equals + 1;

    std::string value;
    if (p < text.size() && text[p] == '"') {
      // A quoted string; a doubled quote inside stands for one quote. An
      // unterminated string runs to the end.
      ++p;
      while (p < text.size()) {
        const std::size_t quote = text.find('"', p);
        if (quote == std::string_view::npos) {
          value.append(text.substr(p));
          p = text.size();
          break;
        }
        value.append(text.substr(p, quote - p));
        p = quote + 1;
        if (p < text.size() && text[p] == '"') {
          value += '"';
          ++p;
        } else {
          break;
        }
      }
    } else {
      const std::size_t semicolon = text.find(';', p);
      const std::size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
      value.assign(text.substr(p, end - p));
      p = end;
    }

    if (!name.empty() && name.front() == '$' && added != nullptr) {
      if (EqualsIgnoreCase(name, "$PATH")) {
        added->Path = std::move(value);
      } else if (EqualsIgnoreCase(name, "$DOMAIN")) {
        added->Domain = std::move(value);
      }
    } else {
      added = &Add(std::string(name), std::move(value));
    }

    const std::size_t semicolon = text.find(';', p);
    if (semicolon == std::string_view::npos) return;
    p = semicolon + 1;
  }
}

}  // namespace vantrel
