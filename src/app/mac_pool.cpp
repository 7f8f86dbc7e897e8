#include "app/mac_pool.h"

#include "production/preferences_file.h"

namespace {

// The whole text must be the six-field form; Parse alone accepts trailing text.
bool ParseAddress(const std::string& text, EthernetAddress& out) {
  if (!out.Parse(text)) return false;
  std::string canonical = out.Format();
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == canonical;
}

}  // namespace

MacPool::MacPool(std::string file) : file_(std::move(file)) {}

EthernetAddress MacPool::Next() const {
  const PreferencesFile prefs(file_.c_str(), kSection);
  const std::string where = prefs.GetPath() + " [" + kSection + "]";
  if (!prefs.FileExists()) throw Error("the MAC pool file " + prefs.GetPath() + " cannot be read");
  std::string text;
  if (!prefs.ReadString(kNextKey, text, "")) throw Error(where + " has no \"" + kNextKey + "\"");
  if (text == kUsedUp) throw Error("the MAC pool " + where + " is used up");
  EthernetAddress next;
  if (!ParseAddress(text, next))
    throw Error(where + " \"" + kNextKey + "\" is \"" + text + "\", not an address of the form xx:xx:xx:xx:xx:xx");
  std::string lastText;
  if (prefs.ReadString(kLastKey, lastText, "")) {
    EthernetAddress last;
    if (!ParseAddress(lastText, last))
      throw Error(where + " \"" + kLastKey + "\" is \"" + lastText + "\", not an address of the form xx:xx:xx:xx:xx:xx");
    if (next > last)
      throw Error("the MAC pool " + where + " is used up: the next address " + next.Format() + " is past the last, " +
                  last.Format());
  }
  return next;
}

void MacPool::Advance(const EthernetAddress& used) {
  PreferencesFile prefs(file_.c_str(), kSection);
  EthernetAddress next = used;
  ++next;
  // Past ff:ff:ff:ff:ff:ff the integer carries into bit 48, which the bytes do not show.
  const bool usedUp = next.GetFullValue() != next.GetValue();
  const std::string text = usedUp ? std::string(kUsedUp) : next.Format();
  std::string stored;
  if (!prefs.WriteString(kNextKey, text.c_str()) || !prefs.ReadString(kNextKey, stored, "") || stored != text)
    throw Error("cannot store \"" + std::string(kNextKey) + "=" + text + "\" in the MAC pool file " + prefs.GetPath());
}
