namespace kirvane {}
