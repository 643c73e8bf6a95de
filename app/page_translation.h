// The translation of a script page into one Basic program.
//
// A page is HTML with blocks of Basic code between "<%" and "%>". Literal
// text becomes calls of `echo` with the text as a Basic string expression;
// a block is copied as it stands, and a block that starts with "=" echoes
// the expression after it:
//
//   <p>Port: <%= peerPort %></p>   →   echo ("<p>Port: ")
//                                       echo ( peerPort )
//                                       echo ("</p>"+chr(13)+chr (10))
//
// Every literal chunk and every block gives one program line (more only when
// the block spans several lines), so a compile error's row points near the
// page line it came from. There is no escape for "%>" inside a block: the
// first "%>" ends it, also inside a Basic string; a block left open runs to
// the end of the page. The program's string expressions spell a double
// quote, "(" and ")" with the named values q, po and pc, which the page
// runner registers before each run.
//
// Pure functions: no state, safe from any thread.
#ifndef VANTREL_APP_PAGE_TRANSLATION_H_
#define VANTREL_APP_PAGE_TRANSLATION_H_

#include <string>
#include <string_view>

namespace vantrel {

// The program for `page` (its lines joined by CR LF, as read from the page
// file): one program line per literal chunk and per code block, each line
// followed by CR LF. An empty page gives an empty program.
std::string PageToProgram(std::string_view page);

// The Basic string expression for the literal text `chunk`: its leading CR,
// LF and TAB characters are dropped, then runs of ordinary characters become
// quoted strings joined with "+" to chr(9), chr(10), chr(13) and chr(38) for
// TAB, LF, CR and "&", and to q, po and pc for the double quote, "(" and
// ")". An empty chunk gives "" (two double quotes).
std::string QuoteLiteral(std::string_view chunk);

}  // namespace vantrel

#endif  // VANTREL_APP_PAGE_TRANSLATION_H_
