// Cuts script text into tokens: words, single-quoted strings ('' is a quote),
// and the punctuation ( ) , ; =. Comments (-- to the line end, /* */) and
// white space between tokens are skipped.
#pragma once

#include <cstddef>
#include <string>

enum class TTokenKind { Word, String, Punctuation, End };

struct TToken {
  TTokenKind Kind = TTokenKind::End;
  std::string Text;      // a word as written, a string's value, the punctuation character
  std::size_t Start = 0;  // byte offsets into the script
  std::size_t Finish = 0;

  bool IsWord(const char* word) const;
  bool Is(char punctuation) const { return Kind == TTokenKind::Punctuation && Text.size() == 1 && Text[0] == punctuation; }
  std::string Describe() const;
};

class TLexer {
 public:
  explicit TLexer(const std::string& text) : FText(text) {}

  // The next token; raises EScriptError for an unterminated string or comment
  // and for a character the language does not know.
  TToken Next();
  // Where the text line and column of a byte offset are, for messages.
  std::string PositionOf(std::size_t offset) const;
  const std::string& Text() const { return FText; }

 private:
  void SkipBlanksAndComments();
  TToken ReadString();
  TToken ReadWord();

  struct TCountedPosition {
    std::size_t Offset = 0, Line = 1, Column = 1;
  };

  const std::string& FText;
  std::size_t FPosition = 0;
  mutable TCountedPosition FCounted;  // where PositionOf stopped counting
};
