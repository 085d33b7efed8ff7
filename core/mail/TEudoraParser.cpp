#include "mail/TEudoraParser.h"

#include "mail/TEudoraMail.h"

std::unique_ptr<TBasicMail> TEudoraParser::GetMail(int index) {
    const std::span<const std::string_view> lines = MailLineViews(index);
    return std::make_unique<TEudoraMail>(lines, Options(), TMailOrigin{{}, index + 1});
}
