// Cookies: one Cookie per name=value pair a client sent or a response
// sets, and the ordered CookieCollection that holds them.
//
// Records and collections belong to one request and are used by the
// thread serving it; nothing here is synchronised.
#ifndef VANTREL_HTTP_COOKIE_H_
#define VANTREL_HTTP_COOKIE_H_

#include <cstddef>
#include <iterator>
#include <list>
#include <string>
#include <string_view>

namespace vantrel {

struct Cookie {
  std::string Name;
  std::string Value;
  std::string Domain;
  std::string Path;
  std::string Comment;
  bool Secure = false;
  int MaxAge = -1;  // Seconds; negative: no Max-Age attribute.
  // Scripts in the browser cannot read the cookie.
  bool HttpOnly = false;
  // "Strict", "Lax" or "None": whether the browser sends the cookie with
  // requests that other sites start; empty: no such attribute.
  std::string SameSite;

  // The text of a Set-Cookie line: Name=Value, then "; Domain=..." (when
  // set), "; Version=\"1\"" (always), "; Path=..." and "; Max-Age=..." and
  // "; Comment=..." (when set), "; Secure", "; HttpOnly" and
  // "; SameSite=..." (when set). Values are written as they are:
  // "k=v; Version=\"1\"" for a cookie with defaults.
  std::string CookieText() const;
};

class CookieCollection {
 public:
  CookieCollection() = default;

  // Adds a cookie at the end and returns it. References to cookies stay
  // valid until Clear or the collection's end.
  Cookie& Add();
  Cookie& Add(std::string name, std::string value);

  // Index of the first cookie at or after `from` whose Name equals `name`
  // ignoring ASCII case; -1 when there is none.
  int IndexOf(std::string_view name, int from = 0) const;

  std::size_t Count() const { return cookies_.size(); }
  bool Empty() const { return cookies_.empty(); }
  // The cookie at `index` (< Count()); walks the collection, which holds a
  // handful of cookies.
  Cookie& operator[](std::size_t index) {
    return *std::next(cookies_.begin(), static_cast<std::ptrdiff_t>(index));
  }
  const Cookie& operator[](std::size_t index) const {
    return *std::next(cookies_.begin(), static_cast<std::ptrdiff_t>(index));
  }
  void Clear() { cookies_.clear(); }
  auto begin() { return cookies_.begin(); }
  auto end() { return cookies_.end(); }
  auto begin() const { return cookies_.begin(); }
  auto end() const { return cookies_.end(); }

  // Parses the value of one Cookie request header and adds its cookies:
  // pairs separated by ";", names trimmed, values either a double-quoted
  // string (a doubled quote stands for one) or the untrimmed text up to the
  // next ";". "$Path" and "$Domain" (any case) set the Path and Domain of
  // the last cookie added from this value; other "$" names are ignored.
  // A part without "=" ends the parsing. Never raises.
  void AddCookieHeader(std::string_view value);

 private:
  // In order of addition. A list keeps references stable and costs nothing
  // while empty, as most requests' and responses' collections stay.
  std::list<Cookie> cookies_;
};

}  // namespace vantrel

#endif  // VANTREL_HTTP_COOKIE_H_
