// Only carries the precompiled headers that the tests share (cmake/VexilHelpers.cmake).
