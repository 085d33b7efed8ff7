#pragma once
// Slims an HTML document before libxml2's HTML parser reads it, in one pass,
// so that parsing costs time linear in the document whatever its markup
// (the parser checks each attribute of a tag against all those before it:
// one tag of 300,000 attributes took minutes):
// - a start tag keeps its name and, of its attributes, the first of each
//   that the text may need (alt, hidden, style); the others are dropped;
// - an end tag keeps its name only;
// - a document type declaration is dropped whole, internal subset
//   included (the parser ends it at its first ">" and shows the rest);
// - comments, the content of <script> and <style>, processing
//   instructions and text pass unchanged.
// Tags are found where the parser finds them (a quoted value may hold a
// ">", an end tag ends at its first ">"), so the text it gives is the same.

#include <string>
#include <string_view>

class THtmlMarkup {
  public:
    static std::string Slim(std::string_view html);
};
