#pragma once
#include <cstddef>
#include <string>

// Typed access to one section of an INI-layout settings file:
//
//   [Section]
//   Key=Value
//
// Section and key names match without regard to case; blanks around names and
// values are ignored and one pair of matching quotes around a value is removed.
// Lines starting with ';' or '#' are comments. Nothing is kept open between calls:
// each read goes to the file at once, and each write replaces the whole file
// atomically (temporary file in the same directory, fsync, rename), changing only
// the line of the key written and keeping every other line byte for byte.
//
// Path rules: a file name without a path separator is looked for in the current
// directory (".\" is put in front), and ".ini" is added when the last path
// component has no extension. The path keeps the separators it was given; both
// '\' and '/' count as separators, and '\' is taken as '/' when the file is opened.
class PreferencesFile {
 public:
  static constexpr size_t kMaxSection = 254;
  static constexpr size_t kMaxPath = 255;
  static constexpr size_t kMaxString = 255;  // longest value ReadString returns
  static constexpr size_t kMaxIntText = 24;  // longest value text ReadInt reads

  PreferencesFile();
  // A null argument leaves that field empty.
  PreferencesFile(const char* fileName, const char* section);
  virtual ~PreferencesFile();

  void SetFile(const char* fileName);    // null: no change
  void SetSection(const char* section);  // null: no change; cut to 254 characters
  const std::string& GetPath() const { return path; }
  const std::string& GetSection() const { return section; }

  // True when the path names a regular file that opens for reading.
  bool FileExists() const;

  // False, leaving `out` unchanged, when nothing is found: the key is missing and the
  // default is empty, or its value is empty. A missing key otherwise yields the
  // default (null reads as empty). At most 255 characters are returned. A null key
  // reads nothing: false, `out` unchanged.
  bool ReadString(const char* key, std::string& out, const char* defaultText) const;
  // As ReadString on the value text (at most 24 characters), read as atoi does:
  // blanks, sign, digits, 0 when there are none. Out-of-range numbers are clamped
  // to the int range. With a default, a missing key yields it and true.
  bool ReadInt(const char* key, int& out, int defaultValue) const;
  bool ReadInt(const char* key, int& out) const;

  // Stores the key in the section, creating the file, section and key as needed;
  // an empty or null value deletes the key instead. False when the file could not
  // be read, may not be written or could not be replaced, or when a name or value
  // cannot be stored in the layout: a line break anywhere; a null or empty key, or
  // one that contains '=', has blanks around it or starts with '[', ';' or '#'; a
  // section that contains ']' or has blanks around it. The old file is left intact
  // on failure. A symbolic link is followed, so the file it points to is replaced
  // and the link stays.
  bool WriteString(const char* key, const char* value);
  bool WriteInt(const char* key, int value);

 private:
  std::string path;
  std::string section;
};
