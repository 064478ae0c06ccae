#pragma once

class QDialog;

/// Gives a dialog the frame of a fixed-size dialog: a title bar with a close box, and no
/// minimise or maximise button. A dialog that could be minimised on its own would hide
/// the only window that takes input while it is modal. Call it in the constructor.
void UseDialogFrame(QDialog& dialog);
