"""The three outputs of a sweep, DIR/NAME.csv, DIR/NAME.json and
DIR/NAME.png: checked before the first run (the folder can be written, no
output is an input), then written together or not at all; without
matplotlib the picture is left out with a one-line note."""
import contextlib
import os

from . import outputs, plots, streams

NO_PLOTS = "no plots: install Debian's python3-matplotlib (apt-get install python3-matplotlib)"
EXTENSIONS = (".csv", ".json", ".png")


class Study:
    def __init__(self, out_dir, name):
        self.base = os.path.join(out_dir, name)
        self.files = [outputs.Destination(self.base + extension, "the output") for extension in EXTENSIONS]

    def refuse_listed(self, paths, list_name):
        """A Failure when an output that exists is one of the files at
        paths, those of the list list_name; nothing to look up otherwise."""
        existing = [output for output in self.files if output.status]
        if not existing:
            return
        for path in paths:
            try:
                status = os.stat(path)
            except (OSError, ValueError):  # unreadable: Tolvane says so
                continue
            for output in existing:
                if output.is_file(status):
                    raise output.also("a file listed in %s" % list_name)

    def write(self, columns, rows, document, draw):
        """Writes the study; draw(document) gives the Figure. Returns the
        paths written."""
        drawing = plots.available()
        table, text, picture = self.files
        with outputs.PendingFiles() as pending:
            outputs.write_csv(pending, table, columns, rows)
            outputs.write_json(pending, text, document)
            if drawing:
                with plots.quiet():
                    plots.save(draw(document), pending.add(picture))
            pending.commit()
        if not drawing:
            # A picture of an earlier study would not match the new figures.
            if os.path.exists(picture.name):
                os.remove(picture.name)
            streams.say(NO_PLOTS)
        return [output.name for output in (self.files if drawing else self.files[:2])]


@contextlib.contextmanager
def planned(out_dir, name, inputs):
    """The Study of the outputs NAME.* in out_dir, made (when missing) and
    checked before any run, none of them being one of the files at inputs."""
    with outputs.output_folder(out_dir):
        study = Study(out_dir, name)
        for output in study.files:
            output.refuse_inputs(inputs)
        yield study
