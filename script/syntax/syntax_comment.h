// Comment definitions of the syntax parser: text between a start marker and
// an end marker that the parser skips like white space.
#ifndef VANTREL_SCRIPT_SYNTAX_SYNTAX_COMMENT_H_
#define VANTREL_SCRIPT_SYNTAX_SYNTAX_COMMENT_H_

#include <string>
#include <vector>

namespace vantrel {

struct SyntaxComment {
  // Opens the comment; matched ignoring ASCII case. An empty marker never
  // matches.
  std::string StartMarker;
  // Closes the comment (and belongs to it); matched ignoring ASCII case.
  // Empty, or absent from the rest of the input: the comment runs to the end
  // of the input.
  std::string EndMarker;
  // When not empty, the start marker counts only at the first position of
  // the input or right after one of these characters.
  std::string PrecededBy;
  // When not empty, the start marker counts only at the end of the input or
  // right before one of these characters (a word that ends where the marker
  // does).
  std::string FollowedBy = {};
};

// Tried in order at each position where comments may stand.
using SyntaxComments = std::vector<SyntaxComment>;

}  // namespace vantrel

#endif  // VANTREL_SCRIPT_SYNTAX_SYNTAX_COMMENT_H_
