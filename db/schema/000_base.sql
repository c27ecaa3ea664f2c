-- Placeholder so that the template database is created; the tables follow in their own files.
SELECT 1;
