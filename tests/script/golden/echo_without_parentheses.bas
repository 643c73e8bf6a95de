echo "hi"
