// The product web page that step 5 links to. The link's caption in the
// step 5 templates is this address in short form: no scheme, no "www.".
#pragma once

namespace wizard {

constexpr wchar_t kProductUrl[] = L"https://www.corvane.com/printer";

}  // namespace wizard
