<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:strip-space elements="*"/>
<xsl:preserve-space elements="keep"/>
<xsl:template match="/"><r><xsl:for-each select="/doc/*"><e name="{name()}" nodes="{count(node())}"/></xsl:for-each></r></xsl:template>
</xsl:stylesheet>
