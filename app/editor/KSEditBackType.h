#pragma once

// How the user left the editor; carried, with a path when there is one, by
// the editor's backClosure. `save` is part of the set but never sent: the
// editor saves in place.
enum class KSEditBackType : int {
    goHome = 0,
    selelectePhoto = 1,
    save = 2,
};
