#pragma once

// Lets screen readers and the accessibility bus read and follow a text area
// through a text interface of its own, in bounded pieces.
void installTextAreaAccessibility();
