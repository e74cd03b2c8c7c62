#include "provider/sql/translate.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdint>
#include <optional>
#include <utility>

namespace provider {
namespace {

enum class Kind { kWord, kQuoted, kString, kNumber, kOp, kGroup };

// A token, or (kGroup) a parenthesized group with its children.
struct Node {
  Kind kind = Kind::kOp;
  std::string text;  // word, unescaped name or literal content, number, operator
  bool space_before = false;
  bool newline_before = false;
  bool close_space = false;  // kGroup: blank before ")"
  std::size_t offset = 0;    // byte offset in the input, for messages
  std::size_t end = 0;       // byte offset just past the token
  std::vector<Node> children;
};

using Seq = std::vector<Node>;

struct Failure {
  std::string message;
  bool limit = false;  // a limit on the input was exceeded
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string ToLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool IsWordStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsWordChar(unsigned char c) {
  return IsWordStart(c) || (c >= '0' && c <= '9') || c == '#' || c == '$' || c == '@';
}
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

Node MakeWord(std::string text, bool space_before = true) {
  Node n;
  n.kind = Kind::kWord;
  n.text = std::move(text);
  n.space_before = space_before;
  return n;
}
Node MakeOp(std::string text, bool space_before = false) {
  Node n;
  n.kind = Kind::kOp;
  n.text = std::move(text);
  n.space_before = space_before;
  return n;
}
Node MakeNumber(std::string text, bool space_before = true) {
  Node n = MakeWord(std::move(text), space_before);
  n.kind = Kind::kNumber;
  return n;
}
Node MakeGroup(Seq children, bool space_before = false) {
  Node n;
  n.kind = Kind::kGroup;
  n.text = "(";
  n.space_before = space_before;
  n.children = std::move(children);
  return n;
}

bool IsWord(const Node& n, std::string_view w) { return n.kind == Kind::kWord && EqualsNoCase(n.text, w); }
bool IsOp(const Node& n, std::string_view op) { return n.kind == Kind::kOp && n.text == op; }

// ---------------------------------------------------------------------------
// Tokenizer

std::string Where(std::size_t offset) { return " at offset " + std::to_string(offset); }

Seq Tokenize(std::string_view s) {
  Seq out;
  std::size_t i = 0;
  bool space = false;
  bool newline = false;
  auto push = [&](Node n, std::size_t at) {
    n.space_before = space;
    n.newline_before = newline;
    n.offset = at;
    n.end = i;
    out.push_back(std::move(n));
    space = false;
    newline = false;
  };
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t start = i;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      space = true;
      if (c == '\n' || c == '\r') newline = true;
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '-') {  // line comment
      while (i < s.size() && s[i] != '\n') ++i;
      space = true;
      continue;
    }
    if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {  // block comment; they nest
      int level = 0;
      while (i < s.size()) {
        if (s[i] == '/' && i + 1 < s.size() && s[i + 1] == '*') {
          ++level;
          i += 2;
        } else if (s[i] == '*' && i + 1 < s.size() && s[i + 1] == '/') {
          --level;
          i += 2;
          if (level == 0) break;
        } else {
          if (s[i] == '\n') newline = true;
          ++i;
        }
      }
      if (level != 0) throw Failure{"unterminated comment" + Where(start)};
      space = true;
      continue;
    }
    const bool national = (c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'';
    if (c == '\'' || national) {
      if (national) ++i;
      ++i;
      Node n;
      n.kind = Kind::kString;
      for (;;) {
        if (i >= s.size()) throw Failure{"unterminated string literal" + Where(start)};
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') {
            n.text += '\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        n.text += s[i++];
      }
      push(std::move(n), start);
      continue;
    }
    if (c == '[' || c == '"') {
      const char close = c == '[' ? ']' : '"';
      ++i;
      Node n;
      n.kind = Kind::kQuoted;
      for (;;) {
        if (i >= s.size()) throw Failure{std::string("unterminated ") + (c == '[' ? "[name]" : "\"name\"") + Where(start)};
        if (s[i] == close) {
          if (i + 1 < s.size() && s[i + 1] == close) {
            n.text += close;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        n.text += s[i++];
      }
      if (n.text.empty()) throw Failure{"empty name" + Where(start)};
      push(std::move(n), start);
      continue;
    }
    if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(static_cast<unsigned char>(s[i + 1])))) {
      Node n;
      n.kind = Kind::kNumber;
      if (c == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        i += 2;
        while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) ++i;
      } else {
        while (i < s.size() && IsDigit(static_cast<unsigned char>(s[i]))) ++i;
        if (i < s.size() && s[i] == '.') {
          ++i;
          while (i < s.size() && IsDigit(static_cast<unsigned char>(s[i]))) ++i;
        }
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
          std::size_t j = i + 1;
          if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
          if (j < s.size() && IsDigit(static_cast<unsigned char>(s[j]))) {
            i = j;
            while (i < s.size() && IsDigit(static_cast<unsigned char>(s[i]))) ++i;
          }
        }
      }
      if (i < s.size() && IsWordStart(static_cast<unsigned char>(s[i])))
        throw Failure{"malformed number" + Where(start)};
      n.text.assign(s.substr(start, i - start));
      push(std::move(n), start);
      continue;
    }
    if (IsWordStart(c)) {
      while (i < s.size() && IsWordChar(static_cast<unsigned char>(s[i]))) ++i;
      Node n;
      n.kind = Kind::kWord;
      n.text.assign(s.substr(start, i - start));
      push(std::move(n), start);
      continue;
    }
    if (c == '@') throw Failure{"variables (@name) are not supported" + Where(start)};
    if (c == '?' || c == ':' || c == '$')
      throw Failure{std::string("unexpected character '") + static_cast<char>(c) + "'" + Where(start)};
    if (c == 0) throw Failure{"NUL character in the statement text" + Where(start)};
    // Operators; two-character ones first.
    static constexpr std::string_view kTwo[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||"};
    std::string op;
    if (i + 1 < s.size()) {
      const std::string_view two = s.substr(i, 2);
      for (std::string_view t : kTwo)
        if (two == t) op.assign(t);
    }
    if (op.empty()) {
      static constexpr std::string_view kOne = "(),;.+-*/%=<>&|^~{}";
      if (kOne.find(static_cast<char>(c)) == std::string_view::npos)
        throw Failure{"unexpected character" + Where(start)};
      op.assign(1, static_cast<char>(c));
    }
    i += op.size();
    if (op == "!<") op = ">=";
    if (op == "!>") op = "<=";
    push(MakeOp(op), start);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Statement splitting and grouping

bool StartsStatement(const Node& n) {
  return IsWord(n, "insert") || IsWord(n, "update") || IsWord(n, "delete") || IsWord(n, "exec") ||
         IsWord(n, "execute") || IsOp(n, "{");
}

std::vector<Seq> SplitStatements(Seq tokens, const TranslateLimits& limits) {
  std::vector<Seq> out;
  Seq cur;
  int depth = 0;
  bool has_values = false;  // the current statement has a VALUES list
  bool has_select = false;  // ... a SELECT outside parentheses
  auto finish = [&] {
    has_values = false;
    has_select = false;
    if (!cur.empty()) {
      if (out.size() >= limits.max_statements)
        throw Failure{"more than " + std::to_string(limits.max_statements) + " statements", true};
      out.push_back(std::move(cur));
    }
    cur.clear();
  };
  for (Node& t : tokens) {
    if (IsOp(t, "(")) ++depth;
    if (IsOp(t, ")")) --depth;
    if (depth == 0 && IsOp(t, ";")) {
      finish();
      continue;
    }
    if (depth == 0 && !cur.empty() && t.newline_before) {
      bool split = StartsStatement(t);
      if (IsWord(t, "select")) {
        const Node& prev = cur.back();
        const bool continues = IsWord(prev, "union") || IsWord(prev, "all") || IsWord(prev, "except") ||
                               IsWord(prev, "intersect") || (IsWord(cur.front(), "insert") && !has_values) ||
                               (IsWord(cur.front(), "with") && !has_select);
        split = !continues;
      }
      if (split) finish();
    }
    if (depth == 0 && IsWord(t, "values")) has_values = true;
    if (depth == 0 && IsWord(t, "select")) has_select = true;
    cur.push_back(std::move(t));
  }
  finish();
  return out;
}

Seq BuildGroups(Seq tokens, const TranslateLimits& limits) {
  std::vector<Seq> stack(1);
  std::vector<Node> opens;
  for (Node& t : tokens) {
    if (IsOp(t, "(")) {
      if (static_cast<int>(opens.size()) >= limits.max_depth)
        throw Failure{"parentheses nested deeper than " + std::to_string(limits.max_depth) + " levels" +
                          Where(t.offset),
                      true};
      opens.push_back(std::move(t));
      stack.emplace_back();
    } else if (IsOp(t, ")")) {
      if (opens.empty()) throw Failure{"unbalanced ')'" + Where(t.offset)};
      Node g = MakeGroup(std::move(stack.back()), opens.back().space_before);
      g.newline_before = opens.back().newline_before;
      g.offset = opens.back().offset;
      g.close_space = t.space_before;
      opens.pop_back();
      stack.pop_back();
      stack.back().push_back(std::move(g));
    } else {
      stack.back().push_back(std::move(t));
    }
  }
  if (!opens.empty()) throw Failure{"unbalanced '(': missing ')'" + Where(opens.back().offset)};
  return std::move(stack.front());
}

// Splits a sequence at top-level commas.
std::vector<Seq> SplitCommas(const Seq& seq) {
  std::vector<Seq> parts(1);
  for (const Node& n : seq) {
    if (IsOp(n, ",")) {
      parts.emplace_back();
    } else {
      parts.back().push_back(n);
    }
  }
  if (parts.size() == 1 && parts[0].empty()) parts.clear();
  return parts;
}

Seq JoinCommas(std::vector<Seq> parts) {
  Seq out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out.push_back(MakeOp(","));
    if (i > 0 && !parts[i].empty()) parts[i].front().space_before = true;
    if (i == 0 && !parts[i].empty()) parts[i].front().space_before = false;
    for (Node& n : parts[i]) out.push_back(std::move(n));
  }
  return out;
}

// ---------------------------------------------------------------------------
// Procedure calls

std::string ParseCallName(const Seq& seq, std::size_t& i) {
  std::string name;
  for (;;) {
    if (i >= seq.size() || (seq[i].kind != Kind::kWord && seq[i].kind != Kind::kQuoted))
      throw Failure{"procedure name expected"};
    name = seq[i].text;
    ++i;
    if (i < seq.size() && IsOp(seq[i], ".")) {
      ++i;
      while (i < seq.size() && IsOp(seq[i], ".")) ++i;  // db..name
      continue;
    }
    return name;
  }
}

void ParseCallArgs(const Seq& seq, std::size_t i, std::size_t end, ProcedureCall& call) {
  if (i >= end) return;
  for (;;) {
    std::string sign;
    if (i < end && (IsOp(seq[i], "-") || IsOp(seq[i], "+"))) {
      if (seq[i].text == "-") sign = "-";
      ++i;
    }
    if (i >= end) throw Failure{"procedure argument expected"};
    const Node& n = seq[i];
    if (n.kind == Kind::kNumber) {
      call.args.push_back(sign + n.text);
      call.is_null.push_back(false);
    } else if (!sign.empty() || n.kind == Kind::kGroup || n.kind == Kind::kOp) {
      throw Failure{"procedure arguments must be texts, numbers or NULL" + Where(n.offset)};
    } else if (n.kind == Kind::kWord && EqualsNoCase(n.text, "null")) {
      call.args.emplace_back();
      call.is_null.push_back(true);
    } else {  // a text, or a bare word, which SQL Server takes as a text
      call.args.push_back(n.text);
      call.is_null.push_back(false);
    }
    ++i;
    if (i >= end) return;
    if (!IsOp(seq[i], ",")) throw Failure{"',' expected between procedure arguments" + Where(seq[i].offset)};
    ++i;
  }
}

bool TryParseCall(const Seq& tokens, ProcedureCall& call) {
  if (tokens.empty()) return false;
  std::size_t i = 0;
  if (IsWord(tokens[0], "exec") || IsWord(tokens[0], "execute")) {
    i = 1;
    call.name = ParseCallName(tokens, i);
    if (i < tokens.size() && IsOp(tokens[i], "("))
      throw Failure{"exec takes its arguments without parentheses" + Where(tokens[i].offset)};
    ParseCallArgs(tokens, i, tokens.size(), call);
    return true;
  }
  if (!IsOp(tokens[0], "{")) return false;
  if (tokens.size() < 2 || !IsWord(tokens[1], "call")) throw Failure{"only {call ...} escapes are supported"};
  if (!IsOp(tokens.back(), "}")) throw Failure{"{call ...} must end with '}'"};
  i = 2;
  call.name = ParseCallName(tokens, i);
  std::size_t end = tokens.size() - 1;
  if (i < end) {
    if (!IsOp(tokens[i], "(") || !IsOp(tokens[end - 1], ")"))
      throw Failure{"{call name(arguments)} expected" + Where(tokens[i].offset)};
    // The parentheses must match each other: no nested groups in arguments.
    for (std::size_t k = i + 1; k + 1 < end; ++k)
      if (IsOp(tokens[k], "(") || IsOp(tokens[k], ")"))
        throw Failure{"procedure arguments must be texts, numbers or NULL" + Where(tokens[k].offset)};
    ParseCallArgs(tokens, i + 1, end - 1, call);
  }
  return true;
}

// ---------------------------------------------------------------------------
// Rewriting

bool IsClauseEnd(const Node& n) {
  static constexpr std::string_view kWords[] = {"from",   "into",      "where", "group", "having", "order",
                                                "union",  "except",    "intersect", "limit", "option"};
  if (n.kind != Kind::kWord) return IsOp(n, ";");
  for (std::string_view w : kWords)
    if (EqualsNoCase(n.text, w)) return true;
  return false;
}

// Words that end an operand of '+' (clause and predicate keywords).
bool IsKeyword(const Node& n) {
  static constexpr std::string_view kWords[] = {
      "and",    "or",     "not",   "between", "like",  "in",        "is",     "when",   "then",   "else",
      "end",    "select", "from",  "where",   "as",    "on",        "join",   "left",   "right",  "inner",
      "outer",  "cross",  "full",  "group",   "order", "by",        "having", "union",  "all",    "except",
      "intersect", "distinct", "top", "set",  "values", "into",     "insert", "update", "delete", "asc",
      "desc",   "limit",  "escape", "exists", "with",  "collate",   "case",   "over",   "partition", "using",
      "glob",   "offset", "percent", "ties",  "option"};
  if (n.kind != Kind::kWord) return false;
  for (std::string_view w : kWords)
    if (EqualsNoCase(n.text, w)) return true;
  return false;
}

bool IsHintGroup(const Node& g) {
  static constexpr std::string_view kHints[] = {"nolock", "rowlock", "readpast", "updlock", "holdlock", "tablock",
                                                "tablockx", "paglock", "xlock", "readuncommitted",
                                                "readcommitted", "repeatableread", "serializable", "nowait"};
  if (g.kind != Kind::kGroup || g.children.empty()) return false;
  bool any = false;
  for (const Node& n : g.children) {
    if (IsOp(n, ",")) continue;
    bool hint = false;
    for (std::string_view h : kHints)
      if (IsWord(n, h)) hint = true;
    if (!hint) return false;
    any = true;
  }
  return any;
}

std::string CollationFor(std::string_view name) {
  const std::string l = ToLower(name);
  return l.find("_ci") != std::string::npos ? "NOCASE" : "BINARY";
}

class Rewriter {
 public:
  explicit Rewriter(const TranslateLimits& limits) : limits_(limits) {}

  void Statement(Seq& seq) {
    // delete T where ... -> delete from T where ...; insert T -> insert into T.
    if (!seq.empty() && IsWord(seq[0], "delete") && (seq.size() < 2 || !IsWord(seq[1], "from")))
      seq.insert(seq.begin() + 1, MakeWord("from"));
    if (!seq.empty() && IsWord(seq[0], "insert") && (seq.size() < 2 || !IsWord(seq[1], "into")))
      seq.insert(seq.begin() + 1, MakeWord("into"));
    Level(seq, 0);
  }

 private:
  void CheckDepth(int depth, std::size_t offset) {
    if (depth > limits_.max_depth)
      throw Failure{"expression nested deeper than " + std::to_string(limits_.max_depth) + " levels" + Where(offset),
                    true};
  }

  // Rewrites one level (the statement, or the inside of a group).
  void Level(Seq& seq, int depth) {
    DropHintsAndPrefixes(seq);
    RewriteFunctions(seq);
    RewriteSelects(seq);
    for (Node& n : seq)
      if (n.kind == Kind::kGroup) Level(n.children, depth + 1);
    seq = Additive(seq, 0, seq.size(), depth);
  }

  // True when `out` ends with a table (and maybe an alias) after FROM, JOIN,
  // UPDATE, INTO or a comma.
  static bool FollowsTable(const Seq& out) {
    auto name = [](const Node& n) {
      return n.kind == Kind::kQuoted || (n.kind == Kind::kWord && !IsKeyword(n));
    };
    auto before_table = [](const Node& n) {
      return IsWord(n, "from") || IsWord(n, "join") || IsWord(n, "update") || IsWord(n, "into") || IsOp(n, ",");
    };
    const std::size_t k = out.size();
    if (k >= 2 && name(out[k - 1]) && before_table(out[k - 2])) return true;
    return k >= 3 && name(out[k - 1]) && name(out[k - 2]) && before_table(out[k - 3]);
  }

  void DropHintsAndPrefixes(Seq& seq) {
    Seq out;
    out.reserve(seq.size());
    for (std::size_t i = 0; i < seq.size(); ++i) {
      Node& n = seq[i];
      // with(nolock), with (nolock, rowlock)
      if (IsWord(n, "with") && i + 1 < seq.size() && IsHintGroup(seq[i + 1])) {
        ++i;
        continue;
      }
      // Old form: "from T (nolock)", "join T t (nolock)".
      if (n.kind == Kind::kGroup && IsHintGroup(n) && FollowsTable(out)) continue;
      // Schema and database prefixes: dbo.X, db.dbo.X, db..X
      if ((n.kind == Kind::kWord || n.kind == Kind::kQuoted) && i + 2 < seq.size() && IsOp(seq[i + 1], ".")) {
        const bool dbo = EqualsNoCase(n.text, "dbo");
        const bool db_dbo = i + 4 < seq.size() && (seq[i + 2].kind == Kind::kWord || seq[i + 2].kind == Kind::kQuoted) &&
                            EqualsNoCase(seq[i + 2].text, "dbo") && IsOp(seq[i + 3], ".");
        const bool db_dot = IsOp(seq[i + 2], ".") && i + 3 < seq.size();
        const std::size_t skip = db_dbo ? 4 : db_dot ? 3 : dbo ? 2 : 0;
        if (skip > 0 && i + skip < seq.size() &&
            (seq[i + skip].kind == Kind::kWord || seq[i + skip].kind == Kind::kQuoted)) {
          seq[i + skip].space_before = n.space_before;
          i += skip - 1;
          continue;
        }
      }
      // collate X
      if (IsWord(n, "collate") && i + 1 < seq.size() &&
          (seq[i + 1].kind == Kind::kWord || seq[i + 1].kind == Kind::kQuoted)) {
        out.push_back(std::move(n));
        Node name = MakeWord(CollationFor(seq[i + 1].text));
        out.push_back(std::move(name));
        ++i;
        continue;
      }
      out.push_back(std::move(n));
    }
    seq = std::move(out);
  }

  void RewriteFunctions(Seq& seq) {
    Seq out;
    out.reserve(seq.size());
    for (std::size_t i = 0; i < seq.size(); ++i) {
      Node& f = seq[i];
      const bool call = f.kind == Kind::kWord && i + 1 < seq.size() && seq[i + 1].kind == Kind::kGroup &&
                        !(i > 0 && IsOp(seq[i - 1], "."));  // a qualified name is not ours
      if (!call) {
        if (IsWord(f, "current_timestamp")) {  // SQL Server's synonym of getdate()
          const bool space = f.space_before;
          out.push_back(MakeWord("tm_getdate", space));
          out.push_back(MakeGroup({}));
          continue;
        }
        out.push_back(std::move(f));
        continue;
      }
      Node& g = seq[i + 1];
      const std::string name = ToLower(f.text);
      if (name == "convert") {
        Seq r = Convert(f, g);
        for (Node& n : r) out.push_back(std::move(n));
        ++i;
        continue;
      }
      if (name == "isnull") {
        f.text = "ifnull";
      } else if (name == "getdate") {
        if (!g.children.empty()) throw Failure{"getdate() takes no arguments" + Where(g.offset)};
        f.text = "tm_getdate";
      } else if (name == "len") {
        f.text = "length";
        Seq inner = std::move(g.children);
        g.children.clear();
        g.children.push_back(MakeWord("rtrim", false));
        g.children.push_back(MakeGroup(std::move(inner)));
      } else if (name == "left") {  // left(x, n) -> substr(x, 1, n)
        std::vector<Seq> args = SplitCommas(g.children);
        if (args.size() != 2) throw Failure{"left takes 2 arguments" + Where(g.offset)};
        args.insert(args.begin() + 1, Seq{MakeNumber("1")});
        f.text = "substr";
        g.children = JoinCommas(std::move(args));
      } else if (name == "right") {
        f.text = "tm_right";
      } else if (name == "dateadd" || name == "datediff") {  // the date part becomes a text
        std::vector<Seq> args = SplitCommas(g.children);
        if (args.size() != 3 || args[0].size() != 1 ||
            (args[0][0].kind != Kind::kWord && args[0][0].kind != Kind::kString))
          throw Failure{name + " takes a date part and 2 arguments" + Where(g.offset)};
        args[0][0].kind = Kind::kString;
        f.text = "tm_" + name;
        g.children = JoinCommas(std::move(args));
      } else if (name == "substring") {
        f.text = "substr";
      } else if (name == "charindex") {
        std::vector<Seq> args = SplitCommas(g.children);
        if (args.size() == 2) {
          f.text = "instr";
          std::swap(args[0], args[1]);
          g.children = JoinCommas(std::move(args));
        } else if (args.size() == 3) {
          f.text = "tm_charindex";
        } else {
          throw Failure{"charindex takes 2 or 3 arguments" + Where(g.offset)};
        }
      }
      out.push_back(std::move(f));
      out.push_back(std::move(g));
      ++i;
    }
    seq = std::move(out);
  }

  // convert(type, expr [, style]) -> its SQLite form.
  Seq Convert(const Node& f, const Node& g) {
    const std::size_t offset = g.offset;
    std::vector<Seq> args = SplitCommas(g.children);
    if (args.size() < 2 || args.size() > 3) throw Failure{"convert takes 2 or 3 arguments" + Where(offset)};
    const Seq& type_part = args[0];
    if (type_part.empty() || type_part[0].kind != Kind::kWord) throw Failure{"convert: type expected" + Where(offset)};
    const std::string type = ToLower(type_part[0].text);
    std::optional<std::string> len;
    bool unlimited = false;
    if (type_part.size() >= 2) {
      if (type_part.size() > 2 || type_part[1].kind != Kind::kGroup)
        throw Failure{"convert: malformed type" + Where(offset)};
      const Seq& targs = type_part[1].children;
      if (targs.size() == 1 && targs[0].kind == Kind::kNumber &&
          targs[0].text.find_first_not_of("0123456789") == std::string::npos && targs[0].text.size() <= 9) {
        len = targs[0].text;
      } else if (targs.size() == 1 && IsWord(targs[0], "max")) {
        unlimited = true;
      } else if (!targs.empty() && targs[0].kind == Kind::kNumber) {
        // decimal(p, s) and similar: precision does not change SQLite's value
      } else {
        throw Failure{"convert: malformed type length" + Where(offset)};
      }
    }
    Seq expr = std::move(args[1]);
    if (expr.empty()) throw Failure{"convert: value expected" + Where(offset)};
    expr.front().space_before = false;
    Seq r;
    static constexpr std::string_view kText[] = {"varchar", "nvarchar", "char", "nchar", "text", "ntext", "sysname"};
    static constexpr std::string_view kInt[] = {"int", "integer", "bigint", "smallint", "tinyint", "bit"};
    static constexpr std::string_view kReal[] = {"float", "real", "decimal", "numeric", "money", "smallmoney"};
    static constexpr std::string_view kDate[] = {"datetime", "smalldatetime", "datetime2", "date"};
    auto in = [&](const auto& list) { return std::find(std::begin(list), std::end(list), type) != std::end(list); };
    if (in(kText)) {
      Seq text;
      if (args.size() == 3) {
        Seq a = std::move(expr);
        a.push_back(MakeOp(","));
        Seq style = std::move(args[2]);
        if (style.empty()) throw Failure{"convert: style expected" + Where(offset)};
        style.front().space_before = true;
        for (Node& n : style) a.push_back(std::move(n));
        text.push_back(MakeWord("tm_convert", false));
        text.push_back(MakeGroup(std::move(a)));
      } else {
        expr.push_back(MakeWord("as"));
        expr.push_back(MakeWord("text"));
        text.push_back(MakeWord("cast", false));
        text.push_back(MakeGroup(std::move(expr)));
      }
      // Without a length SQL Server cuts a converted text to 30 characters.
      if (unlimited || type == "text" || type == "ntext") {
        r = std::move(text);
      } else {
        Seq a = std::move(text);
        a.push_back(MakeOp(","));
        a.push_back(MakeNumber("1"));
        a.push_back(MakeOp(","));
        a.push_back(MakeNumber(len.value_or("30")));
        r.push_back(MakeWord("substr", false));
        r.push_back(MakeGroup(std::move(a)));
      }
    } else if (in(kInt) || in(kReal)) {
      expr.push_back(MakeWord("as"));
      expr.push_back(MakeWord(in(kInt) ? "integer" : "real"));
      r.push_back(MakeWord("cast", false));
      r.push_back(MakeGroup(std::move(expr)));
    } else if (in(kDate)) {
      Seq a = std::move(expr);
      a.push_back(MakeOp(","));
      a.push_back(MakeNumber(type == "date" ? "1" : "0"));
      r.push_back(MakeWord("tm_datetime", false));
      r.push_back(MakeGroup(std::move(a)));
    } else {
      throw Failure{"convert to " + type + " is not supported" + Where(offset)};
    }
    r.front().space_before = f.space_before;
    return r;
  }

  // Every "select [all|distinct] [top ...] items ..." member at this level:
  // TOP becomes LIMIT and "alias = expr" items become "expr AS alias".
  void RewriteSelects(Seq& seq) {
    Seq out;
    out.reserve(seq.size() + 4);
    std::size_t i = 0;
    while (i < seq.size()) {
      if (!IsWord(seq[i], "select")) {
        out.push_back(std::move(seq[i]));
        ++i;
        continue;
      }
      std::size_t end = i + 1;
      while (end < seq.size() && !IsWord(seq[end], "union") && !IsWord(seq[end], "except") &&
             !IsWord(seq[end], "intersect"))
        ++end;
      std::optional<std::string> limit;
      Seq member = Select(seq, i, end, limit);
      if (limit && end < seq.size()) {  // a union member: limit it inside a sub-select
        const bool space = member.front().space_before;
        member.front().space_before = false;
        member.push_back(MakeWord("LIMIT"));
        member.push_back(MakeNumber(*limit));
        out.push_back(MakeWord("select", space));
        out.push_back(MakeOp("*", true));
        out.push_back(MakeWord("from"));
        out.push_back(MakeGroup(std::move(member), true));
      } else {
        for (Node& n : member) out.push_back(std::move(n));
        if (limit) {
          out.push_back(MakeWord("LIMIT"));
          out.push_back(MakeNumber(*limit));
        }
      }
      i = end;
    }
    seq = std::move(out);
  }

  Seq Select(Seq& seq, std::size_t i, std::size_t end, std::optional<std::string>& limit) {
    Seq out;
    out.push_back(std::move(seq[i]));
    std::size_t p = i + 1;
    if (p < end && (IsWord(seq[p], "distinct") || IsWord(seq[p], "all"))) out.push_back(std::move(seq[p++]));
    if (p < end && IsWord(seq[p], "top")) {
      const std::size_t top_at = p++;
      if (p >= end) throw Failure{"top: row count expected" + Where(seq[top_at].offset)};
      const Node* count = &seq[p];
      if (count->kind == Kind::kGroup) {
        if (count->children.size() != 1) throw Failure{"top (n): a number expected" + Where(count->offset)};
        count = &count->children[0];
      }
      if (count->kind != Kind::kNumber) throw Failure{"top: a number expected" + Where(count->offset)};
      ++p;
      bool percent = false;
      if (p < end && IsWord(seq[p], "percent")) {
        percent = true;
        ++p;
      }
      if (p < end && IsWord(seq[p], "with")) throw Failure{"top ... with ties is not supported" + Where(seq[p].offset)};
      if (percent) {
        if (count->text != "100") throw Failure{"top n percent is only supported for 100" + Where(count->offset)};
      } else {
        if (count->text.find_first_not_of("0123456789") != std::string::npos || count->text.size() > 18)
          throw Failure{"top: a whole number expected" + Where(count->offset)};
        limit = count->text;
      }
      if (p < end) seq[p].space_before = true;
    }
    // The select list, item by item.
    while (p < end) {
      std::size_t item_end = p;
      while (item_end < end && !IsOp(seq[item_end], ",") && !IsClauseEnd(seq[item_end])) ++item_end;
      if (item_end - p >= 3 && IsOp(seq[p + 1], "=") &&
          ((seq[p].kind == Kind::kWord && !IsKeyword(seq[p])) || seq[p].kind == Kind::kQuoted ||
           seq[p].kind == Kind::kString)) {
        Node alias = std::move(seq[p]);
        alias.kind = Kind::kQuoted;
        seq[p + 2].space_before = alias.space_before;
        alias.space_before = true;
        for (std::size_t k = p + 2; k < item_end; ++k) out.push_back(std::move(seq[k]));
        out.push_back(MakeWord("AS"));
        out.push_back(std::move(alias));
      } else {
        for (std::size_t k = p; k < item_end; ++k) out.push_back(std::move(seq[k]));
      }
      p = item_end;
      if (p < end && IsOp(seq[p], ",")) {
        out.push_back(std::move(seq[p++]));
        continue;
      }
      break;
    }
    for (; p < end; ++p) out.push_back(std::move(seq[p]));
    return out;
  }

  // ---- '+' -> tm_add(a, b) ----

  // Index just past the unit that starts at i, or i when none starts there.
  std::size_t Unit(const Seq& seq, std::size_t i, std::size_t end) {
    std::size_t j = i;
    while (j < end && (IsOp(seq[j], "-") || IsOp(seq[j], "+") || IsOp(seq[j], "~"))) ++j;  // unary signs
    if (j >= end) return i;
    const Node& n = seq[j];
    if (IsWord(n, "case")) {
      int level = 0;
      for (; j < end; ++j) {
        if (IsWord(seq[j], "case")) ++level;
        if (IsWord(seq[j], "end") && --level == 0) break;
      }
      if (j >= end) throw Failure{"case without end" + Where(n.offset)};
      j += 1;
    } else if (n.kind == Kind::kString || n.kind == Kind::kNumber || n.kind == Kind::kGroup) {
      j += 1;
    } else if ((n.kind == Kind::kWord && (!IsKeyword(n) || IsWord(n, "null"))) || n.kind == Kind::kQuoted ||
               ((IsWord(n, "left") || IsWord(n, "right")) && j + 1 < end && seq[j + 1].kind == Kind::kGroup)) {
      j += 1;
      while (j + 1 < end && IsOp(seq[j], ".") &&
             (seq[j + 1].kind == Kind::kWord || seq[j + 1].kind == Kind::kQuoted || IsOp(seq[j + 1], "*")))
        j += 2;
      if (j < end && seq[j].kind == Kind::kGroup) ++j;  // function call
    } else {
      return i;
    }
    if (j + 1 < end && IsWord(seq[j], "collate")) j += 2;
    return j;
  }

  // Index past "unit (mulop unit)*" starting at i, or i.
  std::size_t Operand(const Seq& seq, std::size_t i, std::size_t end) {
    std::size_t j = Unit(seq, i, end);
    if (j == i) return i;
    while (j < end && (IsOp(seq[j], "*") || IsOp(seq[j], "/") || IsOp(seq[j], "%") || IsOp(seq[j], "&") ||
                       IsOp(seq[j], "|") || IsOp(seq[j], "^") || IsOp(seq[j], "||"))) {
      const std::size_t k = Unit(seq, j + 1, end);
      if (k == j + 1) break;
      j = k;
    }
    return j;
  }

  // Copies seq[b, e) rewriting CASE bodies (whose insides are on this level).
  Seq Copy(const Seq& seq, std::size_t b, std::size_t e, int depth) {
    Seq out;
    for (std::size_t k = b; k < e; ++k) {
      if (IsWord(seq[k], "case")) {
        std::size_t j = k + 1;
        int level = 1;
        for (; j < e; ++j) {
          if (IsWord(seq[j], "case")) ++level;
          if (IsWord(seq[j], "end") && --level == 0) break;
        }
        if (j >= e) throw Failure{"case without end" + Where(seq[k].offset)};
        out.push_back(seq[k]);
        Seq inner = Additive(seq, k + 1, j, depth + 1);
        for (Node& n : inner) out.push_back(std::move(n));
        out.push_back(seq[j]);
        k = j;
      } else {
        out.push_back(seq[k]);
      }
    }
    return out;
  }

  Seq Additive(const Seq& seq, std::size_t begin, std::size_t end, int depth) {
    CheckDepth(depth, begin < seq.size() ? seq[begin].offset : 0);
    Seq out;
    std::size_t i = begin;
    while (i < end) {
      const std::size_t first_end = Operand(seq, i, end);
      if (first_end == i) {
        out.push_back(seq[i]);
        ++i;
        continue;
      }
      // operand ((+|-) operand)*
      Seq acc = Copy(seq, i, first_end, depth);
      std::size_t plus_count = 0;
      std::size_t j = first_end;
      while (j < end && (IsOp(seq[j], "+") || IsOp(seq[j], "-"))) {
        const std::size_t k = Operand(seq, j + 1, end);
        if (k == j + 1) break;
        Seq rhs = Copy(seq, j + 1, k, depth);
        if (seq[j].text == "+") {
          if (++plus_count > limits_.max_plus_operators)
            throw Failure{"more than " + std::to_string(limits_.max_plus_operators) + " '+' in one expression" +
                              Where(seq[j].offset),
                          true};
          const bool space = acc.front().space_before;
          acc.front().space_before = false;
          rhs.front().space_before = true;
          Seq args = std::move(acc);
          args.push_back(MakeOp(","));
          for (Node& n : rhs) args.push_back(std::move(n));
          acc.clear();
          acc.push_back(MakeWord("tm_add", space));
          acc.push_back(MakeGroup(std::move(args)));
        } else {
          acc.push_back(seq[j]);
          for (Node& n : rhs) acc.push_back(std::move(n));
        }
        j = k;
      }
      for (Node& n : acc) out.push_back(std::move(n));
      i = j;
    }
    return out;
  }

  const TranslateLimits& limits_;
};

// ---------------------------------------------------------------------------
// Output

char FirstChar(const Node& n) {
  switch (n.kind) {
    case Kind::kQuoted:
      return '"';
    case Kind::kString:
      return '\'';
    case Kind::kGroup:
      return '(';
    default:
      return n.text.empty() ? ' ' : n.text[0];
  }
}

// True when the characters a and b written side by side would read as one
// token (or start a comment), which happens when dropped text joins tokens.
bool Merges(char a, char b) {
  const auto word = [](char c) { return IsWordChar(static_cast<unsigned char>(c)); };
  const auto op = [](char c) { return std::string_view("<>=!|-/*&^~%+").find(c) != std::string_view::npos; };
  if (word(a) && (word(b) || b == '\'')) return true;
  if (a == '.' && IsDigit(static_cast<unsigned char>(b))) return true;
  if (a == b && (a == '\'' || a == '"')) return true;
  return op(a) && op(b);
}

void Emit(const Seq& seq, std::string& out, Kind& last) {
  for (const Node& n : seq) {
    if (!out.empty() && out.back() != ' ' &&
        ((n.space_before && out.back() != '(') || Merges(out.back(), FirstChar(n)) ||
         (last == Kind::kNumber && FirstChar(n) == '.')))
      out += ' ';
    last = n.kind;
    switch (n.kind) {
      case Kind::kWord:
      case Kind::kNumber:
      case Kind::kOp:
        out += n.text;
        break;
      case Kind::kQuoted:
        out += '"';
        for (char c : n.text) {
          if (c == '"') out += '"';
          out += c;
        }
        out += '"';
        break;
      case Kind::kString:
        out += '\'';
        for (char c : n.text) {
          if (c == '\'') out += '\'';
          out += c;
        }
        out += '\'';
        break;
      case Kind::kGroup:
        out += '(';
        Emit(n.children, out, last);
        out += ')';
        last = Kind::kOp;
        break;
    }
  }
}

std::string Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

// True for "insert into T (cols) values (literals)" written with nothing the
// rewriter would change: SQLite reads such a statement exactly as SQL Server
// does, so its text passes through untouched. Call requests arrive by the
// million in this form; skipping the rewrite roughly halves their cost.
bool IsPlainInsert(std::string_view text, const Seq& tokens) {
  if (tokens.size() < 6 || !IsWord(tokens[0], "insert") || !IsWord(tokens[1], "into") ||
      tokens[2].kind != Kind::kWord)
    return false;
  static constexpr std::string_view kReserved[] = {"select", "with", "top", "exec", "execute", "collate",
                                                    "dbo", "current_timestamp", "default", "output"};
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const Node& n = tokens[k];
    switch (n.kind) {
      case Kind::kWord:
        if (k + 1 < tokens.size() && IsOp(tokens[k + 1], "(") && k != 2 && !IsWord(n, "values")) return false;
        for (std::string_view w : kReserved)
          if (EqualsNoCase(n.text, w)) return false;
        break;
      case Kind::kString:
        if (text[n.offset] != '\'') return false;  // N'..' literals are rewritten
        break;
      case Kind::kNumber:
        if (n.text.size() > 1 && (n.text[1] == 'x' || n.text[1] == 'X')) return false;
        break;
      case Kind::kOp:
        if (n.text != "(" && n.text != ")" && n.text != "," && n.text != "-") return false;
        break;
      default:
        return false;
    }
  }
  const std::string_view span = text.substr(tokens.front().offset, tokens.back().end - tokens.front().offset);
  return span.find("--") == std::string_view::npos && span.find("/*") == std::string_view::npos;
}

// The parameterized form of a plain insert: each literal becomes a ?, a
// minus sign right before a number joins it. Words and punctuation stay.
void Parameterize(const Seq& tokens, Statement& st) {
  std::string& out = st.param_sql;
  for (std::size_t k = 0; k < tokens.size(); ++k) {
    const Node& n = tokens[k];
    if (!out.empty()) out += ' ';
    if (n.kind == Kind::kString) {
      st.params.push_back({Param::kText, n.text});
      out += '?';
    } else if (n.kind == Kind::kNumber ||
               (IsOp(n, "-") && k + 1 < tokens.size() && tokens[k + 1].kind == Kind::kNumber && k > 0 &&
                (IsOp(tokens[k - 1], "(") || IsOp(tokens[k - 1], ",")))) {
      std::string number = n.kind == Kind::kNumber ? n.text : "-" + tokens[++k].text;
      const bool real = number.find_first_of(".eE") != std::string::npos;
      st.params.push_back({real ? Param::kReal : Param::kInteger, std::move(number)});
      out += '?';
    } else if (IsWord(n, "null")) {
      st.params.push_back({Param::kNull, {}});
      out += '?';
    } else {
      out += n.text;
    }
  }
}

std::string SourceOf(std::string_view text, const Seq& tokens) {
  if (tokens.empty()) return {};
  const std::size_t b = tokens.front().offset;
  return Trimmed(text.substr(b, tokens.back().end - b));
}

}  // namespace

std::string TextBeginning(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return std::string(text);
  std::size_t cut = max_bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

Translation Translate(std::string_view text, const TranslateLimits& limits) {
  Translation result;
  try {
    if (text.size() > limits.max_text_bytes)
      throw Failure{"statement text of " + std::to_string(text.size()) + " bytes is longer than the limit of " +
                        std::to_string(limits.max_text_bytes),
                    true};
    std::vector<Seq> statements = SplitStatements(Tokenize(text), limits);
    for (std::size_t k = 0; k < statements.size(); ++k) {
      Seq& tokens = statements[k];
      Statement st;
      st.source = SourceOf(text, tokens);
      try {
        if (TryParseCall(tokens, st.call)) {
          st.is_call = true;
        } else if (IsPlainInsert(text, tokens)) {
          st.sql = st.source;
          Parameterize(tokens, st);
        } else {
          Seq tree = BuildGroups(std::move(tokens), limits);
          Rewriter(limits).Statement(tree);
          Kind last = Kind::kOp;
          Emit(tree, st.sql, last);
        }
      } catch (const Failure& f) {
        throw Failure{f.message + " (statement: " + TextBeginning(st.source) + ")", f.limit};
      }
      result.statements.push_back(std::move(st));
    }
  } catch (const Failure& f) {
    result.statements.clear();
    result.error = f.message;
    result.limit_exceeded = f.limit;
  }
  return result;
}

std::string TranslateDialect(std::string_view sqlserver, std::string* error) {
  Translation t = Translate(sqlserver);
  if (!t.ok()) {
    if (error) *error = t.error;
    return {};
  }
  if (error) error->clear();
  std::string out;
  for (const Statement& st : t.statements) {
    if (!out.empty()) out += ";\n";
    if (!st.is_call) {
      out += st.sql;
      continue;
    }
    out += "CALL " + st.call.name + "(";
    for (std::size_t i = 0; i < st.call.args.size(); ++i) {
      if (i > 0) out += ", ";
      if (st.call.is_null[i]) {
        out += "NULL";
      } else {
        out += '\'';
        for (char c : st.call.args[i]) {
          if (c == '\'') out += '\'';
          out += c;
        }
        out += '\'';
      }
    }
    out += ")";
  }
  return out;
}

}  // namespace provider
