#include "facade/BLQBaseViewController.h"

#include "platform/Bundle.h"

namespace brindlecue {

template <class Host>
void BLQLibraryScreen<Host>::didConstruct() {
    Host::didConstruct();
    auto self = this->hostController();
    // Every initialiser goes through the interface-file lookup, by the class of the finished
    // object (a subclass's name, then its superclasses).
    this->initWithNibName(this->nibName(), BLQBaseVCImp::prepareInitForClass(
                                               this->className(), this->nibName(), this->nibBundle()));
    imp_ = platform::make<BLQBaseVCImp>();
    imp_->initForVC(self);
}

template <class Host>
void BLQLibraryScreen<Host>::viewDidLoad() {
    Host::viewDidLoad();
    if (imp_) imp_->viewDidLoad();
}

template <class Host>
void BLQLibraryScreen<Host>::keyboardDidShowFrom(const platform::CGRect& begin, const platform::CGRect& end,
                                                 double duration) {
    if (imp_) imp_->keyboardDidShowFrom(begin, end, duration);
}

template <class Host>
void BLQLibraryScreen<Host>::keyboardDidHideFrom(const platform::CGRect& begin, const platform::CGRect& end,
                                                 double duration) {
    if (imp_) imp_->keyboardDidHideFrom(begin, end, duration);
}

template class BLQLibraryScreen<BrindlecueBaseViewController>;
template class BLQLibraryScreen<BrindlecueBaseTableViewController>;
template class BLQLibraryScreen<BrindlecueBaseCollectionViewController>;

}  // namespace brindlecue
