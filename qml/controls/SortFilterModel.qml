import QtQuick 2.15
import QtQml.Models 2.15

// A view of any model (list model, array, object list) that shows only the
// entries filterAcceptsItem(model) accepts (all when it is null), in the
// order lessThan(a, b) gives (the source order when it is null). Both
// receive an entry's model object; for object lists the object itself is
// model.modelData. Call invalidate() when a filter depends on something
// that changed.
DelegateModel {
    id: sortFilter

    property var filterAcceptsItem: null
    property var lessThan: null
    // Entries shown; unlike a view's count it follows every filter pass.
    readonly property alias shownCount: shown.count

    function invalidate() {
        if (shown.count > 0)
            shown.remove(0, shown.count)
        // Everything in the source order: one call, not one per entry (the
        // event log holds a thousand).
        if (!filterAcceptsItem && !lessThan) {
            if (items.count > 0)
                items.addGroups(0, items.count, "shown")
            return
        }
        var accepted = []
        for (var i = 0; i < items.count; ++i) {
            var entry = items.get(i)
            if (!filterAcceptsItem || filterAcceptsItem(entry.model))
                accepted.push(entry)
        }
        if (lessThan) {
            var less = lessThan
            accepted.sort(function(a, b) {
                return less(a.model, b.model) ? -1 : less(b.model, a.model) ? 1 : 0
            })
        }
        for (var j = 0; j < accepted.length; ++j) {
            accepted[j].inShown = true
            if (accepted[j].shownIndex !== j)
                shown.move(accepted[j].shownIndex, j, 1)
        }
    }

    groups: DelegateModelGroup {
        id: shown
        name: "shown"
    }
    filterOnGroup: "shown"

    items.onChanged: invalidate()
    onFilterAcceptsItemChanged: invalidate()
    onLessThanChanged: invalidate()
}
