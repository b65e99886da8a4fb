"""The three outputs of a sweep, DIR/NAME.csv, DIR/NAME.json and
DIR/NAME.png, written together or not at all; without matplotlib the
picture is left out with a one-line note."""
import os

from . import outputs, plots, streams

NO_PLOTS = "no plots: install Debian's python3-matplotlib (apt-get install python3-matplotlib)"


def write(out_dir, name, columns, rows, document, draw):
    """Writes the study; draw(document) gives the Figure. Returns
    the paths written."""
    drawing = plots.available()
    outputs.make_folder(out_dir)
    base = os.path.join(out_dir, name)
    written = [base + ".csv", base + ".json"]
    with outputs.PendingFiles() as pending:
        outputs.write_csv(pending, base + ".csv", columns, rows)
        outputs.write_json(pending, base + ".json", document)
        if drawing:
            plots.save(draw(document), pending.add(base + ".png"))
            written.append(base + ".png")
        pending.commit()
    if not drawing:
        # A picture of an earlier study would not match the new figures.
        if os.path.exists(base + ".png"):
            os.remove(base + ".png")
        streams.say(NO_PLOTS)
    return written
