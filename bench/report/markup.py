"""The Markdown that every section of the report is written with."""


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(cell) for cell in row) + " |" for row in rows]
    return "\n".join(lines)


def verdict(met):
    """The last cell of a goal's row."""
    return "met" if met else "**not met**"


def goal_met(value, goal):
    """Whether `value` meets a goal written "at most X" or "at least X"."""
    bound, limit = goal.rsplit(" ", 1)
    return value <= float(limit) if bound == "at most" else value >= float(limit)
