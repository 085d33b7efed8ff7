#include "mail/TMailStoreFactory.h"

std::unique_ptr<TBasicMailParser> TMailStoreFactory::Create(int mailType,
                                                            const std::string& sjisLocation,
                                                            int threads, const TImapAccess& imap) {
    TStoreOpening opening;
    opening.threads = threads;
    opening.imap = imap;
    return Create(mailType, sjisLocation, opening);
}

std::unique_ptr<TBasicMailParser> TMailStoreFactory::Create(int mailType,
                                                            const std::string& sjisLocation,
                                                            const TStoreOpening& opening) {
    return TStoreKind::Get(mailType).open(sjisLocation, opening);
}
