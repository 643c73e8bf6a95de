// The grammar of the Basic dialect, in the syntax parser's notation: one rule
// per line, lines separated by CR LF, the start rule <program> first. The
// Basic compiler loads it into its parser and attaches its handlers to the
// rules by name.
#ifndef VANTREL_SCRIPT_BASIC_BASIC_GRAMMAR_H_
#define VANTREL_SCRIPT_BASIC_BASIC_GRAMMAR_H_

#include <string_view>

namespace vantrel {

// The whole grammar text; static storage, valid for the life of the program.
std::string_view BasicGrammarText();

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_BASIC_BASIC_GRAMMAR_H_
