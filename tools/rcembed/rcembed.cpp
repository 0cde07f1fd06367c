// rcembed: turns a resource script into a C++ source that embeds its resources into the
// program or module it is linked into (the native build's stand-in for the resource compiler).
//
//   rcembed SCRIPT.rc OUT.cpp [OUT.d]
//
// Understood: #include "file", #define, #if/#ifdef/#ifndef/#else/#endif, comments; BITMAP,
// ICON, CURSOR and file-based user resources (the bitmap file without its file header; icons
// and cursors as their whole .ico/.cur file under RT_GROUP_ICON/RT_GROUP_CURSOR); STRINGTABLE;
// DIALOG and DIALOGEX with STYLE, EXSTYLE, CAPTION, FONT, CLASS, MENU and the control
// statements (CONTROL, LTEXT, CTEXT, RTEXT, PUSHBUTTON, DEFPUSHBUTTON, CHECKBOX, AUTOCHECKBOX,
// RADIOBUTTON, AUTORADIOBUTTON, STATE3, AUTO3STATE, GROUPBOX, EDITTEXT, COMBOBOX, LISTBOX,
// ICON), written as the binary templates DLGTEMPLATE / DLGTEMPLATEEX.
#include <commctrl.h>
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::map<std::string, long long> g_symbols;
std::set<std::string> g_deps;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  fprintf(stderr, "rcembed: %s: %s\n", where.c_str(), what.c_str());
  exit(1);
}

void AddKnownSymbols() {
#define S(x) g_symbols[#x] = (long long)(x)
  S(WS_OVERLAPPED); S(WS_POPUP); S(WS_CHILD); S(WS_MINIMIZE); S(WS_VISIBLE); S(WS_DISABLED); S(WS_CLIPSIBLINGS);
  S(WS_CLIPCHILDREN); S(WS_MAXIMIZE); S(WS_CAPTION); S(WS_BORDER); S(WS_DLGFRAME); S(WS_VSCROLL); S(WS_HSCROLL);
  S(WS_SYSMENU); S(WS_THICKFRAME); S(WS_GROUP); S(WS_TABSTOP); S(WS_MINIMIZEBOX); S(WS_MAXIMIZEBOX);
  S(WS_OVERLAPPEDWINDOW); S(WS_POPUPWINDOW); S(WS_CHILDWINDOW); S(WS_SIZEBOX);
  S(WS_EX_DLGMODALFRAME); S(WS_EX_NOPARENTNOTIFY); S(WS_EX_TOPMOST); S(WS_EX_ACCEPTFILES); S(WS_EX_TRANSPARENT);
  S(WS_EX_TOOLWINDOW); S(WS_EX_WINDOWEDGE); S(WS_EX_CLIENTEDGE); S(WS_EX_CONTEXTHELP); S(WS_EX_RIGHT); S(WS_EX_LEFT);
  S(WS_EX_CONTROLPARENT); S(WS_EX_STATICEDGE); S(WS_EX_APPWINDOW); S(WS_EX_LAYERED); S(WS_EX_NOACTIVATE);
  S(DS_ABSALIGN); S(DS_SYSMODAL); S(DS_LOCALEDIT); S(DS_SETFONT); S(DS_MODALFRAME); S(DS_NOIDLEMSG);
  S(DS_SETFOREGROUND); S(DS_3DLOOK); S(DS_FIXEDSYS); S(DS_NOFAILCREATE); S(DS_CONTROL); S(DS_CENTER);
  S(DS_CENTERMOUSE); S(DS_CONTEXTHELP); S(DS_SHELLFONT);
  S(BS_PUSHBUTTON); S(BS_DEFPUSHBUTTON); S(BS_CHECKBOX); S(BS_AUTOCHECKBOX); S(BS_RADIOBUTTON); S(BS_3STATE);
  S(BS_AUTO3STATE); S(BS_GROUPBOX); S(BS_USERBUTTON); S(BS_AUTORADIOBUTTON); S(BS_PUSHBOX); S(BS_OWNERDRAW);
  S(BS_LEFTTEXT); S(BS_TEXT); S(BS_ICON); S(BS_BITMAP); S(BS_LEFT); S(BS_RIGHT); S(BS_CENTER); S(BS_TOP);
  S(BS_BOTTOM); S(BS_VCENTER); S(BS_PUSHLIKE); S(BS_MULTILINE); S(BS_NOTIFY); S(BS_FLAT);
  S(SS_LEFT); S(SS_CENTER); S(SS_RIGHT); S(SS_ICON); S(SS_BLACKRECT); S(SS_GRAYRECT); S(SS_WHITERECT);
  S(SS_BLACKFRAME); S(SS_GRAYFRAME); S(SS_WHITEFRAME); S(SS_SIMPLE); S(SS_LEFTNOWORDWRAP); S(SS_OWNERDRAW);
  S(SS_BITMAP); S(SS_ETCHEDHORZ); S(SS_ETCHEDVERT); S(SS_ETCHEDFRAME); S(SS_NOPREFIX); S(SS_NOTIFY);
  S(SS_CENTERIMAGE); S(SS_RIGHTJUST); S(SS_SUNKEN); S(SS_ENDELLIPSIS);
  S(ES_LEFT); S(ES_CENTER); S(ES_RIGHT); S(ES_MULTILINE); S(ES_UPPERCASE); S(ES_LOWERCASE); S(ES_PASSWORD);
  S(ES_AUTOVSCROLL); S(ES_AUTOHSCROLL); S(ES_NOHIDESEL); S(ES_OEMCONVERT); S(ES_READONLY); S(ES_WANTRETURN);
  S(ES_NUMBER);
  S(CBS_SIMPLE); S(CBS_DROPDOWN); S(CBS_DROPDOWNLIST); S(CBS_OWNERDRAWFIXED); S(CBS_OWNERDRAWVARIABLE);
  S(CBS_AUTOHSCROLL); S(CBS_OEMCONVERT); S(CBS_SORT); S(CBS_HASSTRINGS); S(CBS_NOINTEGRALHEIGHT);
  S(CBS_DISABLENOSCROLL);
  S(TBS_AUTOTICKS); S(TBS_VERT); S(TBS_HORZ); S(TBS_TOP); S(TBS_BOTTOM); S(TBS_LEFT); S(TBS_RIGHT); S(TBS_BOTH);
  S(TBS_NOTICKS); S(TBS_ENABLESELRANGE); S(TBS_FIXEDLENGTH); S(TBS_NOTHUMB); S(TBS_TOOLTIPS);
  S(TTS_ALWAYSTIP); S(TTS_NOPREFIX);
  S(IDOK); S(IDCANCEL); S(IDABORT); S(IDRETRY); S(IDIGNORE); S(IDYES); S(IDNO); S(IDCLOSE); S(IDHELP);
#undef S
  g_symbols["LBS_NOTIFY"] = 0x0001;
  g_symbols["LBS_SORT"] = 0x0002;
  g_symbols["LBS_STANDARD"] = 0x00A00003;
  g_symbols["RC_INVOKED"] = 1;
  g_symbols["_WIN32"] = 1;
}

// ---------------------------------------------------------------- preprocessing
struct Line {
  std::string text;
  std::string where;
};

std::string StripComments(const std::string& in, bool* inBlock) {
  std::string out;
  bool str = false;
  for (size_t i = 0; i < in.size(); ++i) {
    if (*inBlock) {
      if (in.compare(i, 2, "*/") == 0) {
        *inBlock = false;
        ++i;
      }
      continue;
    }
    if (!str && in.compare(i, 2, "//") == 0) break;
    if (!str && in.compare(i, 2, "/*") == 0) {
      *inBlock = true;
      ++i;
      continue;
    }
    if (in[i] == '"') str = !str;
    out += in[i];
  }
  return out;
}

long long Evaluate(const std::string& expr, const std::string& where);

void Preprocess(const fs::path& file, std::vector<Line>* out, int depth = 0) {
  if (depth > 16) Fail(file.string(), "includes nested too deeply");
  std::ifstream in(file);
  if (!in) Fail(file.string(), "cannot open");
  g_deps.insert(fs::absolute(file).string());
  std::string raw;
  bool block = false;
  std::vector<std::pair<bool, bool>> conds;  // (active, taken)
  int n = 0;
  auto active = [&] {
    for (auto& c : conds)
      if (!c.first) return false;
    return true;
  };
  std::string pending;
  while (std::getline(in, raw)) {
    ++n;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (!raw.empty() && raw.back() == '\\') {
      pending += raw.substr(0, raw.size() - 1) + " ";
      continue;
    }
    std::string line = StripComments(pending + raw, &block);
    pending.clear();
    std::string where = file.filename().string() + ":" + std::to_string(n);
    size_t p = line.find_first_not_of(" \t");
    if (p != std::string::npos && line[p] == '#') {
      std::istringstream ss(line.substr(p + 1));
      std::string dir;
      ss >> dir;
      std::string rest;
      std::getline(ss, rest);
      size_t a = rest.find_first_not_of(" \t");
      rest = a == std::string::npos ? "" : rest.substr(a);
      if (dir == "ifdef" || dir == "ifndef") {
        bool def = g_symbols.count(rest.substr(0, rest.find_first_of(" \t"))) != 0;
        bool v = dir == "ifdef" ? def : !def;
        conds.push_back({v, v});
      } else if (dir == "if") {
        bool v = active() && Evaluate(rest, where) != 0;
        conds.push_back({v, v});
      } else if (dir == "elif") {
        if (conds.empty()) Fail(where, "#elif without #if");
        bool v = !conds.back().second && Evaluate(rest, where) != 0;
        conds.back().first = v;
        conds.back().second = conds.back().second || v;
      } else if (dir == "else") {
        if (conds.empty()) Fail(where, "#else without #if");
        conds.back().first = !conds.back().second;
        conds.back().second = true;
      } else if (dir == "endif") {
        if (conds.empty()) Fail(where, "#endif without #if");
        conds.pop_back();
      } else if (!active()) {
        continue;
      } else if (dir == "include") {
        if (!rest.empty() && rest[0] == '"') {
          std::string name = rest.substr(1, rest.find('"', 1) - 1);
          Preprocess(file.parent_path() / name, out, depth + 1);
        }
        // <system headers>: their constants are known to the tool
      } else if (dir == "define") {
        std::istringstream ds(rest);
        std::string name;
        ds >> name;
        if (name.find('(') != std::string::npos) continue;  // function-like macros are not used here
        std::string value;
        std::getline(ds, value);
        size_t v = value.find_first_not_of(" \t");
        value = v == std::string::npos ? "1" : value.substr(v);
        g_symbols[name] = Evaluate(value, where);
      } else if (dir == "undef") {
        g_symbols.erase(rest);
      }
      continue;
    }
    if (!active()) continue;
    out->push_back(Line{line, where});
  }
}

// ---------------------------------------------------------------- tokens
struct Tok {
  enum Kind { Word, Number, String, Punct, End } kind;
  std::string text;
  long long value = 0;
  std::string where;
};

std::vector<Tok> Tokenize(const std::vector<Line>& lines) {
  std::vector<Tok> toks;
  for (const Line& l : lines) {
    const std::string& s = l.text;
    for (size_t i = 0; i < s.size();) {
      char c = s[i];
      if (isspace((unsigned char)c)) {
        ++i;
        continue;
      }
      if (c == '"') {
        std::string v;
        ++i;
        while (i < s.size()) {
          if (s[i] == '"') {
            if (i + 1 < s.size() && s[i + 1] == '"') {
              v += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          if (s[i] == '\\' && i + 1 < s.size()) {
            char e = s[i + 1];
            v += e == 'n' ? '\n' : e == 't' ? '\t' : e == '0' ? '\0' : e;
            i += 2;
            continue;
          }
          v += s[i++];
        }
        toks.push_back({Tok::String, v, 0, l.where});
        continue;
      }
      if (isdigit((unsigned char)c)) {
        size_t j = i;
        while (j < s.size() && (isalnum((unsigned char)s[j]))) ++j;
        std::string num = s.substr(i, j - i);
        std::string digits = num;
        while (!digits.empty() && (toupper(digits.back()) == 'L' || toupper(digits.back()) == 'U')) digits.pop_back();
        toks.push_back({Tok::Number, num, (long long)strtoull(digits.c_str(), nullptr, 0), l.where});
        i = j;
        continue;
      }
      if (isalpha((unsigned char)c) || c == '_') {
        size_t j = i;
        while (j < s.size() && (isalnum((unsigned char)s[j]) || s[j] == '_')) ++j;
        toks.push_back({Tok::Word, s.substr(i, j - i), 0, l.where});
        i = j;
        continue;
      }
      toks.push_back({Tok::Punct, std::string(1, c), 0, l.where});
      ++i;
    }
  }
  toks.push_back({Tok::End, "", 0, lines.empty() ? "" : lines.back().where});
  return toks;
}

// ---------------------------------------------------------------- expressions
struct Expr {
  const std::vector<Tok>& t;
  size_t& i;
  long long Primary() {
    const Tok& k = t[i];
    if (k.kind == Tok::Punct && k.text == "(") {
      ++i;
      long long v = Or();
      if (t[i].text == ")") ++i;
      return v;
    }
    if (k.kind == Tok::Punct && k.text == "-") {
      ++i;
      return -Primary();
    }
    if (k.kind == Tok::Punct && k.text == "~") {
      ++i;
      return ~Primary();
    }
    if (k.kind == Tok::Punct && k.text == "!") {
      ++i;
      return !Primary();
    }
    if (k.kind == Tok::Number) {
      ++i;
      return k.value;
    }
    if (k.kind == Tok::Word) {
      ++i;
      if (k.text == "defined") {
        bool paren = t[i].text == "(";
        if (paren) ++i;
        bool d = g_symbols.count(t[i].text) != 0;
        ++i;
        if (paren && t[i].text == ")") ++i;
        return d;
      }
      auto it = g_symbols.find(k.text);
      if (it == g_symbols.end()) Fail(k.where, "unknown symbol " + k.text);
      return it->second;
    }
    Fail(k.where, "expression expected near '" + k.text + "'");
  }
  long long Add() {
    long long v = Primary();
    while (t[i].kind == Tok::Punct && (t[i].text == "+" || t[i].text == "-")) {
      bool plus = t[i++].text == "+";
      long long r = Primary();
      v = plus ? v + r : v - r;
    }
    return v;
  }
  long long And() {
    long long v = Add();
    while (t[i].kind == Tok::Punct && t[i].text == "&") {
      ++i;
      v &= Add();
    }
    return v;
  }
  long long Or() {
    long long v = And();
    while (t[i].kind == Tok::Punct && t[i].text == "|") {
      ++i;
      v |= And();
    }
    return v;
  }
};

long long Evaluate(const std::string& expr, const std::string& where) {
  std::vector<Tok> toks = Tokenize({Line{expr, where}});
  size_t i = 0;
  return Expr{toks, i}.Or();
}

// A style: default bits, then "a | b | NOT c ..." applied to them.
DWORD StyleExpr(const std::vector<Tok>& t, size_t& i, DWORD base) {
  DWORD v = base;
  bool first = true;
  for (;;) {
    if (!first) {
      if (t[i].kind == Tok::Punct && t[i].text == "|") ++i;
      else break;
    }
    first = false;
    if (t[i].kind == Tok::Word && t[i].text == "NOT") {
      ++i;
      Expr e{t, i};
      v &= ~(DWORD)e.Add();
    } else {
      Expr e{t, i};
      v |= (DWORD)e.And();
    }
  }
  return v;
}

// ---------------------------------------------------------------- output
struct Resource {
  std::string typeName;  // empty: numeric
  unsigned typeId = 0;
  std::string name;      // empty: numeric
  unsigned nameId = 0;
  std::vector<uint8_t> data;
  std::string file;      // file-based resources are included by the assembler
  size_t skip = 0;       // bytes of the file left out (the bitmap file header)
  size_t size = 0;
};

struct Writer {
  std::vector<uint8_t> b;
  void W(uint16_t v) { b.insert(b.end(), {(uint8_t)v, (uint8_t)(v >> 8)}); }
  void D(uint32_t v) { b.insert(b.end(), {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)}); }
  void Str(const std::string& s) {
    for (unsigned char c : s) W(c);
    W(0);
  }
  void StrOrOrd(const std::string& s, int ord) {
    if (ord >= 0) {
      W(0xFFFF);
      W((uint16_t)ord);
    } else if (s.empty()) {
      W(0);
    } else {
      Str(s);
    }
  }
  void Align() {
    while (b.size() % 4) b.push_back(0);
  }
};

std::vector<uint8_t> ReadFile(const fs::path& p, const std::string& where) {
  std::ifstream in(p, std::ios::binary);
  if (!in) Fail(where, "cannot read " + p.string());
  g_deps.insert(fs::absolute(p).string());
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

struct Control {
  std::string text;
  int textOrd = -1;
  int id = 0;
  std::string cls;
  int clsOrd = -1;
  DWORD style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

int ClassOrdinal(const std::string& c) {
  std::string u = c;
  for (char& ch : u) ch = (char)toupper((unsigned char)ch);
  if (u == "BUTTON") return 0x80;
  if (u == "EDIT") return 0x81;
  if (u == "STATIC") return 0x82;
  if (u == "LISTBOX") return 0x83;
  if (u == "SCROLLBAR") return 0x84;
  if (u == "COMBOBOX") return 0x85;
  return -1;
}

class Parser {
 public:
  Parser(std::vector<Tok> toks, fs::path dir) : t_(std::move(toks)), dir_(std::move(dir)) {}

  std::vector<Resource> Run() {
    while (t_[i_].kind != Tok::End) Statement();
    return out_;
  }

 private:
  const Tok& Peek(size_t k = 0) { return t_[i_ + k]; }
  bool IsWord(const char* w, size_t k = 0) { return Peek(k).kind == Tok::Word && Peek(k).text == w; }
  bool IsPunct(const char* p) { return Peek().kind == Tok::Punct && Peek().text == p; }
  void Comma() {
    if (IsPunct(",")) ++i_;
  }
  long long Num() {
    Expr e{t_, i_};
    return e.Or();
  }
  std::string Str() {
    if (Peek().kind != Tok::String) Fail(Peek().where, "string expected");
    return t_[i_++].text;
  }
  bool Begin() {
    if (IsWord("BEGIN") || IsPunct("{")) {
      ++i_;
      return true;
    }
    return false;
  }
  bool End() {
    if (IsWord("END") || IsPunct("}")) {
      ++i_;
      return true;
    }
    return false;
  }
  void SkipBlock() {
    int depth = 0;
    do {
      if (Begin()) ++depth;
      else if (End()) --depth;
      else ++i_;
    } while (depth > 0 && Peek().kind != Tok::End);
  }

  void Statement() {
    if (IsWord("LANGUAGE")) {
      i_ += 1;
      Num();
      Comma();
      Num();
      return;
    }
    if (IsWord("STRINGTABLE")) {
      ++i_;
      while (!Begin()) ++i_;
      std::map<unsigned, std::string> strings;
      while (!End()) {
        unsigned id = (unsigned)Num();
        Comma();
        strings[id] = Str();
      }
      std::map<unsigned, std::vector<std::string>> blocks;
      for (auto& [id, s] : strings) {
        auto& b = blocks[(id >> 4) + 1];
        b.resize(16);
        b[id & 15] = s;
      }
      for (auto& [block, ss] : blocks) {
        Writer w;
        for (auto& s : ss) {
          w.W((uint16_t)s.size());
          for (unsigned char c : s) w.W(c);
        }
        out_.push_back(Resource{"", 6, "", block, w.b});
      }
      return;
    }
    // NAME TYPE ...
    Resource r;
    const Tok& nameTok = Peek();
    if (nameTok.kind == Tok::Number || (nameTok.kind == Tok::Word && g_symbols.count(nameTok.text))) {
      r.nameId = (unsigned)Num();
    } else if (nameTok.kind == Tok::Word || nameTok.kind == Tok::String) {
      r.name = t_[i_++].text;
      for (char& c : r.name) c = (char)toupper((unsigned char)c);
    } else {
      Fail(nameTok.where, "resource name expected near '" + nameTok.text + "'");
    }
    const Tok& type = Peek();
    std::string where = type.where;
    if (type.kind == Tok::Word && (type.text == "DIALOG" || type.text == "DIALOGEX")) {
      ++i_;
      r.typeId = 5;
      r.data = Dialog(type.text == "DIALOGEX");
      out_.push_back(r);
      return;
    }
    int typeId = -1;
    std::string typeName;
    if (type.kind == Tok::Word) {
      static const std::map<std::string, int> known = {{"CURSOR", 12}, {"BITMAP", 2}, {"ICON", 14}, {"MENU", 4},
                                                       {"RCDATA", 10}, {"VERSIONINFO", 16}, {"ACCELERATORS", 9},
                                                       {"MENUEX", 4}, {"HTML", 23}, {"MANIFEST", 24}};
      auto it = known.find(type.text);
      if (it != known.end()) typeId = it->second;
      else if (g_symbols.count(type.text)) typeId = (int)g_symbols[type.text];
      else typeName = type.text;
    } else if (type.kind == Tok::Number) {
      typeId = (int)type.value;
    } else if (type.kind == Tok::String) {
      typeName = type.text;
    } else {
      Fail(where, "resource type expected");
    }
    ++i_;
    if (typeId == 4 || typeId == 9 || typeId == 16) {
      // menus, accelerators and version blocks are not used by this project: skipped whole
      while (!IsWord("BEGIN") && !IsPunct("{")) ++i_;
      SkipBlock();
      return;
    }
    // memory options (PRELOAD, DISCARDABLE ...) before the file name
    while (Peek().kind == Tok::Word) ++i_;
    if (Begin()) {
      // inline data: numbers and strings
      Writer w;
      while (!End()) {
        if (Peek().kind == Tok::String) {
          for (unsigned char c : t_[i_++].text) w.b.push_back(c);
        } else if (IsPunct(",")) {
          ++i_;
        } else {
          w.W((uint16_t)Num());
        }
      }
      r.typeId = typeId < 0 ? 0 : (unsigned)typeId;
      r.typeName = typeName;
      r.data = w.b;
      out_.push_back(r);
      return;
    }
    std::string file = Str();
    std::vector<uint8_t> bytes = ReadFile(dir_ / file, where);
    if (typeId == 2) {
      if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') Fail(where, file + " is not a .bmp file");
      r.skip = 14;
    }
    r.typeId = typeId < 0 ? 0 : (unsigned)typeId;
    r.typeName = typeName;
    r.file = fs::absolute(dir_ / file).string();
    r.size = bytes.size() - r.skip;
    out_.push_back(r);
  }

  std::vector<uint8_t> Dialog(bool ex) {
    int x = (int)Num();
    Comma();
    int y = (int)Num();
    Comma();
    int cx = (int)Num();
    Comma();
    int cy = (int)Num();
    DWORD helpId = 0;
    if (IsPunct(",")) {
      ++i_;
      helpId = (DWORD)Num();
    }
    DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU, exStyle = 0;
    bool styleGiven = false;
    std::string caption, cls, menu, face;
    int menuOrd = -1, clsOrd = -1;
    int pt = 0, weight = 0, italic = 0, charset = 1;
    bool font = false;
    for (;;) {
      if (IsWord("STYLE")) {
        ++i_;
        style = StyleExpr(t_, i_, 0);
        styleGiven = true;
      } else if (IsWord("EXSTYLE")) {
        ++i_;
        exStyle = StyleExpr(t_, i_, 0);
      } else if (IsWord("CAPTION")) {
        ++i_;
        caption = Str();
      } else if (IsWord("CLASS")) {
        ++i_;
        if (Peek().kind == Tok::String) cls = Str();
        else clsOrd = (int)Num();
      } else if (IsWord("MENU")) {
        ++i_;
        if (Peek().kind == Tok::Number || g_symbols.count(Peek().text)) menuOrd = (int)Num();
        else menu = t_[i_++].text;
      } else if (IsWord("FONT")) {
        ++i_;
        pt = (int)Num();
        Comma();
        face = Str();
        font = true;
        if (IsPunct(",")) {
          ++i_;
          weight = (int)Num();
          if (IsPunct(",")) {
            ++i_;
            italic = (int)Num();
            if (IsPunct(",")) {
              ++i_;
              charset = (int)Num();
            }
          }
        }
      } else if (IsWord("LANGUAGE") || IsWord("CHARACTERISTICS") || IsWord("VERSION")) {
        ++i_;
        Num();
        if (IsPunct(",")) {
          ++i_;
          Num();
        }
      } else {
        break;
      }
    }
    (void)styleGiven;
    if (font) style |= DS_SETFONT;
    if (!caption.empty()) style |= WS_CAPTION;
    if (!Begin()) Fail(Peek().where, "BEGIN expected");
    std::vector<Control> controls;
    while (!End()) controls.push_back(ControlStatement());

    Writer w;
    if (ex) {
      w.W(1);
      w.W(0xFFFF);
      w.D(helpId);
      w.D(exStyle);
      w.D(style);
    } else {
      w.D(style);
      w.D(exStyle);
    }
    w.W((uint16_t)controls.size());
    w.W((uint16_t)x);
    w.W((uint16_t)y);
    w.W((uint16_t)cx);
    w.W((uint16_t)cy);
    w.StrOrOrd(menu, menuOrd);
    w.StrOrOrd(cls, clsOrd);
    w.Str(caption);
    if (style & (DS_SETFONT | DS_FIXEDSYS)) {
      w.W((uint16_t)pt);
      if (ex) {
        w.W((uint16_t)weight);
        w.b.push_back((uint8_t)italic);
        w.b.push_back((uint8_t)charset);
      }
      w.Str(face);
    }
    for (const Control& c : controls) {
      w.Align();
      if (ex) {
        w.D(0);
        w.D(c.exStyle);
        w.D(c.style);
      } else {
        w.D(c.style);
        w.D(c.exStyle);
      }
      w.W((uint16_t)c.x);
      w.W((uint16_t)c.y);
      w.W((uint16_t)c.cx);
      w.W((uint16_t)c.cy);
      if (ex)
        w.D((uint32_t)c.id);
      else
        w.W((uint16_t)c.id);
      w.StrOrOrd(c.cls, c.clsOrd);
      w.StrOrOrd(c.text, c.textOrd);
      w.W(0);
    }
    return w.b;
  }

  Control ControlStatement() {
    const Tok& kw = Peek();
    if (kw.kind != Tok::Word) Fail(kw.where, "control statement expected near '" + kw.text + "'");
    std::string k = kw.text;
    ++i_;
    Control c;
    const DWORD base = WS_CHILD | WS_VISIBLE;
    auto textThenId = [&] {
      if (Peek().kind == Tok::String) c.text = Str();
      else c.textOrd = (int)Num();
      Comma();
      c.id = (int)Num();
      Comma();
    };
    auto rect = [&] {
      c.x = (int)Num();
      Comma();
      c.y = (int)Num();
      Comma();
      c.cx = (int)Num();
      Comma();
      c.cy = (int)Num();
    };
    auto tail = [&](DWORD defaults) {
      c.style = defaults;
      if (IsPunct(",")) {
        ++i_;
        c.style = StyleExpr(t_, i_, defaults);
        if (IsPunct(",")) {
          ++i_;
          c.exStyle = StyleExpr(t_, i_, 0);
        }
      }
    };
    static const std::map<std::string, std::pair<const char*, DWORD>> simple = {
        {"LTEXT", {"Static", SS_LEFT | WS_GROUP}},
        {"CTEXT", {"Static", SS_CENTER | WS_GROUP}},
        {"RTEXT", {"Static", SS_RIGHT | WS_GROUP}},
        {"PUSHBUTTON", {"Button", BS_PUSHBUTTON | WS_TABSTOP}},
        {"DEFPUSHBUTTON", {"Button", BS_DEFPUSHBUTTON | WS_TABSTOP}},
        {"PUSHBOX", {"Button", BS_PUSHBOX | WS_TABSTOP}},
        {"CHECKBOX", {"Button", BS_CHECKBOX | WS_TABSTOP}},
        {"AUTOCHECKBOX", {"Button", BS_AUTOCHECKBOX | WS_TABSTOP}},
        {"RADIOBUTTON", {"Button", BS_RADIOBUTTON}},
        {"AUTORADIOBUTTON", {"Button", BS_AUTORADIOBUTTON}},
        {"STATE3", {"Button", BS_3STATE | WS_TABSTOP}},
        {"AUTO3STATE", {"Button", BS_AUTO3STATE | WS_TABSTOP}},
        {"GROUPBOX", {"Button", BS_GROUPBOX}},
    };
    auto it = simple.find(k);
    if (it != simple.end()) {
      textThenId();
      rect();
      tail(base | it->second.second);
      c.clsOrd = ClassOrdinal(it->second.first);
      return c;
    }
    if (k == "EDITTEXT" || k == "COMBOBOX" || k == "LISTBOX") {
      c.id = (int)Num();
      Comma();
      rect();
      DWORD d = k == "EDITTEXT" ? (ES_LEFT | WS_BORDER | WS_TABSTOP) : k == "COMBOBOX" ? (CBS_SIMPLE | WS_TABSTOP)
                                                                                        : (0x0001 | WS_BORDER);
      tail(base | d);
      c.clsOrd = ClassOrdinal(k == "EDITTEXT" ? "EDIT" : k);
      return c;
    }
    if (k == "ICON") {
      textThenId();
      c.x = (int)Num();
      Comma();
      c.y = (int)Num();
      if (IsPunct(",")) {
        ++i_;
        c.cx = (int)Num();
        Comma();
        c.cy = (int)Num();
      }
      tail(base | SS_ICON);
      c.clsOrd = 0x82;
      return c;
    }
    if (k == "CONTROL") {
      textThenId();
      if (Peek().kind == Tok::String) {
        c.cls = Str();
        c.clsOrd = ClassOrdinal(c.cls);
        if (c.clsOrd >= 0) c.cls.clear();
      } else {
        std::string w = t_[i_++].text;
        c.clsOrd = ClassOrdinal(w);
        if (c.clsOrd < 0) c.cls = w;
      }
      Comma();
      c.style = StyleExpr(t_, i_, base);
      Comma();
      rect();
      if (IsPunct(",")) {
        ++i_;
        c.exStyle = StyleExpr(t_, i_, 0);
        if (IsPunct(",")) {
          ++i_;
          Num();
        }
      }
      return c;
    }
    Fail(kw.where, "unknown control statement " + k);
  }

  std::vector<Tok> t_;
  size_t i_ = 0;
  fs::path dir_;
  std::vector<Resource> out_;
};

std::string CString(const std::string& s) {
  std::string o = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') o += '\\';
    o += c;
  }
  return o + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: rcembed SCRIPT.rc OUT.cpp [OUT.d]\n");
    return 2;
  }
  AddKnownSymbols();
  fs::path rc = fs::absolute(argv[1]);
  std::vector<Line> lines;
  Preprocess(rc, &lines);
  std::vector<Resource> res = Parser(Tokenize(lines), rc.parent_path()).Run();

  std::ostringstream o;
  o << "// Generated by rcembed from " << rc.filename().string() << ". Do not edit.\n";
  o << "extern \"C\" {\n"
       "struct velno_resource {\n  unsigned typeId;\n  const char* typeName;\n  unsigned nameId;\n  const char* name;\n"
       "  const unsigned char* data;\n  unsigned long size;\n};\n"
       "void velno_register_resources(const void* anchor, const velno_resource* table, unsigned long count);\n}\n"
       "namespace {\n";
  // unique assembler names for this output
  std::string tag = std::to_string(std::hash<std::string>{}(fs::absolute(argv[2]).string()) & 0xFFFFFFFFFFull);
  for (size_t k = 0; k < res.size(); ++k) {
    if (!res[k].file.empty()) {
      std::string sym = "velno_res_" + tag + "_" + std::to_string(k);
      std::string path;
      for (char c : res[k].file) {
        if (c == '"' || c == '\\') path += '\\';
        path += c;
      }
      o << "__asm__(\".section .rodata\\n.balign 16\\n.globl " << sym << "\\n.hidden " << sym << "\\n" << sym
        << ":\\n.incbin \\\"" << path << "\\\", " << res[k].skip << "\\n.byte 0\\n.previous\\n\");\n";
      o << "extern \"C\" const unsigned char " << sym << "[];\n";
      continue;
    }
    o << "alignas(4) const unsigned char r" << k << "[] = {";
    for (size_t j = 0; j < res[k].data.size(); ++j) {
      if (j % 24 == 0) o << "\n ";
      o << (int)res[k].data[j] << ",";
    }
    if (res[k].data.empty()) o << "0";
    o << "\n};\n";
  }
  o << "const velno_resource table[] = {\n";
  for (size_t k = 0; k < res.size(); ++k) {
    const Resource& r = res[k];
    o << "  {" << r.typeId << ", " << (r.typeName.empty() ? "nullptr" : CString(r.typeName)) << ", " << r.nameId << ", "
      << (r.name.empty() ? "nullptr" : CString(r.name)) << ", "
      << (r.file.empty() ? "r" + std::to_string(k) : "velno_res_" + tag + "_" + std::to_string(k)) << ", "
      << (r.file.empty() ? r.data.size() : r.size) << "ul},\n";
  }
  if (res.empty()) o << "  {0, nullptr, 0, nullptr, nullptr, 0ul},\n";
  o << "};\n"
       "struct Registration {\n  Registration() { velno_register_resources(table, table, "
    << res.size() << "ul); }\n} registration;\n}  // namespace\n";
  std::string outPath = argv[2];
  std::string tmp = outPath + ".tmp";
  {
    std::ofstream out(tmp);
    out << o.str();
    if (!out) Fail(outPath, "cannot write");
  }
  fs::rename(tmp, outPath);
  if (argc > 3) {
    std::ofstream d(argv[3]);
    d << outPath << ":";
    for (const std::string& dep : g_deps) {
      std::string e;
      for (char c : dep) {
        if (c == ' ') e += '\\';
        e += c;
      }
      d << " \\\n  " << e;
    }
    d << "\n";
  }
  return 0;
}
