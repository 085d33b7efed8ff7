#include "mail/TMailStoreFactory.h"

#include <stdexcept>

#include "mail/TDBXParser.h"
#include "mail/TEMLParser.h"
#include "mail/TEudoraParser.h"
#include "mail/TImapParser.h"
#include "mail/TMBOXParser.h"
#include "mail/TMHParser.h"
#include "mail/TMaildirParser.h"
#include "mail/TShurikenParser.h"
#include "mail/TTextFileParser.h"
#include "mail/TThunderbirdParser.h"

std::unique_ptr<TBasicMailParser> TMailStoreFactory::Create(int mailType,
                                                            const std::string& sjisLocation,
                                                            int threads, const TImapAccess& imap) {
    switch (mailType) {
        case EmlFolder:
            return std::make_unique<TEMLParser>(sjisLocation);
        case DbxFile:
            return std::make_unique<TDBXParser>(sjisLocation);
        case MboxFile:
            return std::make_unique<TMBOXParser>(sjisLocation, threads);
        case Shuriken:
            return std::make_unique<TShurikenParser>(sjisLocation);
        case EudoraMbx:
            return std::make_unique<TEudoraParser>(sjisLocation);
        case TextFolder:
            return std::make_unique<TTextFileParser>(sjisLocation);
        case Maildir:
            return std::make_unique<TMaildirParser>(sjisLocation);
        case MhFolder:
            return std::make_unique<TMHParser>(sjisLocation);
        case ThunderbirdFolder:
            return std::make_unique<TThunderbirdParser>(sjisLocation, threads);
        case Imap:
            return std::make_unique<TImapParser>(sjisLocation, imap);
        default:
            throw std::invalid_argument("unknown mail type " + std::to_string(mailType));
    }
}
