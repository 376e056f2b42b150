// Rules files of a chosen shape, as the benchmarks feed them to the reader,
// the lookup and the real plug-in.
#pragma once

#include <string>

namespace quendrix::bench {

// `sections` sections named "ext1" to "ext<sections>", each with `members`
// pairs of short templates of the kind users write.
std::string RulesText(int sections, int members);

// The name of the section RulesText made last, whose file a probe of it
// asks about; a reader that scans from the top finds it last.
std::string LastSectionName(int sections);

}  // namespace quendrix::bench
